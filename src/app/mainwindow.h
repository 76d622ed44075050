// The main window: toolbar, the two operation tabs, the run log dock and the
// status bar with the progress bar; it runs the write/read/reset protocol.
#pragma once

#include "runlogfile.h"

#include <QMainWindow>

class QAction;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class SpiConfig;
class TabWidgetInf;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* pParent = nullptr);
    ~MainWindow() override;

    SpiConfig* Config() const { return m_pConfig; }
    QProgressBar* ProgressBar() const { return m_pProgressBar; }

signals:
    void winStateChange(Qt::WindowStates state);

public slots:
    void show();

private slots:
    void SpiRead(bool bPressed);
    void SpiWrite(bool bPressed);
    void SpiReset(bool bPressed);
    void SetWidgetsEnable(bool bEnable);
    void SpiFinish(int nOpt, bool bState = true);
    void SetLog(QString strLog);
    void SetProgress(int nVal);

protected:
    virtual void LoadSettings();
    virtual void SaveSettings();
    void closeEvent(QCloseEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    int CheckInterface();
    void StartOperation(QAction* pAction, bool bWrite);
    void WireTabs();
    void BuildLogMenu();
    TabWidgetInf* CurrentTab() const;
    void TraceOperation(const QString& strWhat);
    void AppendPlainLogLine(const QString& strLine);

    Ui::MainWindow* ui;
    QWidget* m_pProgressBox = nullptr;
    QLabel* m_pProgressLabel = nullptr;
    QProgressBar* m_pProgressBar = nullptr;
    QLabel* m_pProgressPercent = nullptr;
    QHBoxLayout* m_pProgressLayout = nullptr;
    QAction* m_pCopyAction = nullptr;
    QAction* m_pSelectAllAction = nullptr;
    QAction* m_pDeleteAllAction = nullptr;
    SpiConfig* m_pConfig = nullptr;
    RunLogFile m_runLog;
};

// Progress chunk styles: operation start and success, failure.
extern const char* const kChunkSuccess;
extern const char* const kChunkFailure;
