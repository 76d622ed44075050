// The status bar's progress: "执行进度:", a thin bar and the percentage
// beside it (a 10 px bar is too thin for legible text). The box keeps to
// its contents, so the status bar's message gets the rest of the bar.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

class StatusProgress : public QWidget {
    Q_OBJECT

public:
    explicit StatusProgress(QWidget* pParent = nullptr);
    QProgressBar* Bar() const { return m_pBar; }
    QLabel* Label() const { return m_pLabel; }

private:
    QLabel* m_pLabel = nullptr;
    QProgressBar* m_pBar = nullptr;
    QLabel* m_pPercent = nullptr;
};
