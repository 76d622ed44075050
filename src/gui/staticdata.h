// The static data tab: loads a layout from a workbook, sets the flash area,
// and writes the record (default or current values) or reads it back.
#pragma once

#include "staticlayout.h"

#include <tabwidgetinf.h>

struct JobPlan;
struct JobSpec;
class QMenu;
class QThread;
class SpiFlashCtrl;
class TabWidgetXlsx;
class Worker;

namespace Ui {
class StaticData;
}

class StaticData : public TabWidgetInf {
    Q_OBJECT

public:
    explicit StaticData(QWidget* pParent = nullptr);
    ~StaticData() override;

    void SetFlashCtrl(SpiFlashCtrl* pCtrl) override;
    void Write() override;
    void Read() override;
    void LoadSettings() override;
    void SaveSettings() override;
    void StopWorker() override;

    TabWidgetXlsx* Xlsx() const;
    Worker* GetWorker() const { return m_pWorker; }
    // The tab's workbook and area as a production job's static data step
    // (the workbook that loaded, the start and total boxes, the values chosen).
    void JobSettings(JobSpec& spec) const;
    // Shows a job's static data step: its workbook and area (the window locks
    // the tab; LoadSettings brings the tab's own back).
    void ShowJob(const JobPlan& plan);

signals:
    // The requests the tab hands to its worker.
    void startStaticWrite(const StaticWriteRequest& request);
    void startStaticRead(const StaticReadRequest& request);

public slots:
    void winStateChanged(Qt::WindowStates state) override;
    void SetLocal(xlsx_config xlstCfg);

private slots:
    // A refusal of the worker, shown in a warning box.
    void ShowWarning(const QString& strText);
    void ImportXlsx();
    void SetStorage(int index);
    void ExportTemplateFile();
    void SaveExcel();

private:
    void ShowLayout();
    bool TotalSizeOk(int nTotal);
    void RejectTotal();
    // False (after the warning) when the start address box does not hold acceptable input.
    bool StartAddressOk();
    // With current values: true when every item has a device value, or the
    // operator agrees to write the empty ones as zeros.
    bool EmptyCurrentValuesAccepted();
    // A save dialog's answer with ".xlsx" added when it has no extension.
    QString AskXlsxName(const QString& strCaption);
    // Shows why a workbook could not be written.
    void ReportSaveFailure(const QString& strFile, const QString& strError);

    Ui::StaticData* ui;
    QMenu* m_pExportMenu = nullptr;
    SpiFlashCtrl* m_pSpiCtrl = nullptr;
    QThread* m_pThread = nullptr;
    Worker* m_pWorker = nullptr;
    QString m_strLastDir;
    QString m_strWorkbook;  // the last workbook that loaded, remembered for the next start
};

// The layout shipped with the program, under its directory.
constexpr const char* kDefaultWorkbook = "/StaticConfig/static_orbe.xlsx";
