// The image tab: write and read options, the serial number, and the
// firmware browser whose checked file is the image a write programs.
#pragma once

#include <imagerequest.h>
#include <operationkind.h>
#include <tabwidgetinf.h>

#include <QString>

#include <atomic>
#include <cstdint>

class BaseWorker;
struct JobPlan;
struct JobSpec;
class FileSortProxyModel;
class FileSysModel;
class QAbstractButton;
class QButtonGroup;
class QRegularExpressionValidator;
class QThread;
class SpiFlashCtrl;

namespace Ui {
class BaseOp;
}

class BaseOp : public TabWidgetInf {
    Q_OBJECT

public:
    // The settings key (in the BaseOp group) of the stamp's read-back.
    static constexpr const char* kCheckSerialKey = "check_serial";
    // The options pane's height that the settings and the button give it.
    static constexpr int kOptionHeightDefault = 130;

    explicit BaseOp(QWidget* pParent = nullptr);
    ~BaseOp() override;

    void SetFlashCtrl(SpiFlashCtrl* pCtrl) override;
    void Write() override;
    void Read() override;
    bool CanVerify() const override { return true; }
    // Verify: the checked image against the flash at the start address.
    // Blank check: the range the chosen erase would erase (the whole chip,
    // the image's size or the given size from the start address).
    void Verify(bool bBlank) override;
    void LoadSettings() override;
    void SaveSettings() override;
    void StopWorker() override;

    BaseWorker* Worker() const { return m_pWorker; }
    FileSysModel* FileModel() const { return m_pFileModel; }
    // Shows a directory in the browser (as the path box does).
    void ShowDirectory(const QString& strDir);
    // The write settings as a production job's image step: the checked
    // image, start, erase, protection and serial numbering.
    void JobSettings(JobSpec& spec) const;
    // Shows a job's image step in the options and its image checked in the
    // browser (the window locks the tab; LoadSettings brings the tab's own back).
    void ShowJob(const JobPlan& plan);

signals:
    // The requests the tab hands to its worker.
    void startImageWrite(const ImageWriteRequest& request);
    void startImageRead(const ImageReadRequest& request);
    void startImageVerify(const ImageVerifyRequest& request);

public slots:
    void winStateChanged(Qt::WindowStates state) override;

private slots:
    void SetDownOption(int nIndex);
    void SplitterMove(int pos, int index);
    void SplitterShow();
    void ReadSelect(QAbstractButton* btn);
    void SelectDir();
    void GotoDir();
    void SetSeqEnable(bool bEnabled);
    void Transform(bool bChecked);
    void SetSeqId(uint nSeqId);
    // Refuses with a warning box (and the log line, when given) and ends the operation.
    void Refuse(OperationKind eKind, const QString& strText, const QString& strLog = QString());
    // A refusal of the worker, shown in a warning box.
    void ShowWarning(const QString& strText);

public:
    uint GetSeqId();
    // The serial number box's text for nSeqId, decimal or hexadecimal.
    static QString SeqText(uint nSeqId, bool bHex);
    // Offers nNext as the next serial number (a job's counter after a run).
    void ShowNextSerial(uint64_t nNext);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;

private:
    // A short tab keeps several file rows in the browser: the options (they
    // scroll) give way before the browser is down to its header and a row,
    // and take the height asked for again when the tab grows.
    void KeepBrowserRows();
    // The options in four rows, the options button in a row of its own
    // above the browser; on a tab too short for them above a browser of
    // kBrowserRows file rows (as on a 1024x600 screen), the same options in
    // two rows and the button beside the folder path. Decided when the tab
    // is shown and whenever it changes its height.
    void ArrangeOptions();
    // The options pane's height at which every option shows: the default
    // pane height, or the options' own height where that is less.
    int OptionsShownHeight() const;
    void SetUpBrowser();
    // False (after the warning and finish) when the start address box does not hold acceptable input.
    bool StartAddressAccepted(OperationKind eKind);
    int32_t StartAddress() const;

    Ui::BaseOp* ui;
    FileSysModel* m_pFileModel = nullptr;
    FileSortProxyModel* m_pProxyModel = nullptr;
    QRegularExpressionValidator* m_pDecValidator = nullptr;
    QRegularExpressionValidator* m_pHexValidator = nullptr;
    QButtonGroup* m_pReadGroup = nullptr;
    SpiFlashCtrl* pSpiCtrl = nullptr;
    BaseWorker* m_pWorker = nullptr;
    QThread* m_pThread = nullptr;
    QString m_strLastSaveDir;
    // Keeps the next serial number in the settings before nSerial is stamped.
    bool TakeSerial(uint32_t nSerial);
    // Each stamp read back and compared: the station's opt-in, set by hand
    // in the settings file (never written by the window).
    bool m_bCheckSerial = false;
    // The options pane's height as last asked for (the settings, the button
    // or a drag of the handle); 0: hidden.
    int m_nOptionWanted = kOptionHeightDefault;
    int m_nFourRowsHeight = 0;  // the tab's height for the four rows and the browser's (0: not measured yet)
    bool m_bShortRows = false;  // the options are in two rows
    int m_nOwnRowButtonHeight = 0;  // the options button's height in its own row (the form's)
    std::atomic<bool> m_bSeqHex{false};  // the serial number box is hexadecimal (read by the worker)
    QString m_strJobImage;  // the image of the job shown, checked whenever its directory loads
};
