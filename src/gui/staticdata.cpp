#include "staticdata.h"

#include "tabwidgetxlsx.h"
#include "ui_staticdata.h"
#include "workbookexport.h"
#include "worker.h"

#include <application.h>
#include <commontexts.h>
#include <imagerequest.h>
#include <jobfile.h>
#include <messagebox.h>
#include <mnemonic.h>
#include <outputfile.h>

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QScrollArea>
#include <QStyle>
#include <QIntValidator>
#include <QListView>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QThread>

#include <cstdint>

namespace {
// The boxes read through the rules xqprog uses; a box that does not read
// gives 0 (and is refused by its own check before anything runs).
int32_t BoxStart(const QString& strText)
{
    int32_t nStart = 0;
    return ImageRules::StartAddress(strText, nStart).isEmpty() ? nStart : 0;
}

int32_t BoxTotal(const QString& strText)
{
    int64_t nTotal = 0;
    return StaticRules::ParseTotal(strText, nTotal) && nTotal >= 0 && nTotal <= INT32_MAX ? int32_t(nTotal) : 0;
}

// The side panel's scroll area: as wide as the panel at its narrowest (the
// language and the style sheet change that after start-up) and the scroll
// bar, so that the table keeps the width for its columns.
class CtrlArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override { return Wide(QScrollArea::sizeHint()); }
    QSize minimumSizeHint() const override { return Wide(QScrollArea::minimumSizeHint()); }

private:
    QSize Wide(QSize area) const
    {
        area.setWidth(widget()->minimumSizeHint().width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent));
        return area;
    }
};

// How long a read that found no record waits before it says so.
constexpr int kNotFoundPauseMs = 300;
}  // namespace

StaticData::StaticData(QWidget* pParent) : TabWidgetInf(pParent), ui(new Ui::StaticData)
{
    ui->setupUi(this);
    SetMnemonic(ui->lblstorage, ui->cmbStorage, 'S');
    SetMnemonic(ui->lblStartAddr, ui->editStartAddr, 'A');
    SetMnemonic(ui->lblTotalSize, ui->editTotal, 'T');
    SetMnemonic(ui->chkLock, 'K');
    SetMnemonic(ui->radioDefault, 'D');
    SetMnemonic(ui->radioCurrent, 'C');
    SetMnemonic(ui->pbImport, 'I');
    SetMnemonic(ui->pbExport, 'E');
    // On a small screen the controls scroll (up and down only) rather than
    // push the window's log and status bar off the screen.
    auto* pCtrlArea = new CtrlArea(this);
    pCtrlArea->setObjectName("scrollCtrl");
    pCtrlArea->setWidgetResizable(true);
    pCtrlArea->setFrameShape(QFrame::NoFrame);
    pCtrlArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pCtrlArea->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    delete ui->horizontalLayout->replaceWidget(ui->widgetCtrl, pCtrlArea);
    pCtrlArea->setWidget(ui->widgetCtrl);
    ui->chkLock->hide();
    // It keeps its room beside the read-only count while hidden: showing it
    // moves nothing.
    QSizePolicy lockPolicy = ui->chkLock->sizePolicy();
    lockPolicy.setRetainSizeWhenHidden(true);
    ui->chkLock->setSizePolicy(lockPolicy);
    ui->cmbStorage->setView(new QListView(ui->cmbStorage));
    ui->cmbStorage->addItems({tr("普通存储"), tr("加密存储")});
    ui->cmbStorage->setCurrentIndex(0);
    m_strLastDir = QCoreApplication::applicationDirPath();

    m_pExportMenu = new QMenu(this);
    m_pExportMenu->addAction(ui->action_template);
    m_pExportMenu->addAction(ui->action_save_xlsx);
    ui->pbExport->setMenu(m_pExportMenu);
    connect(ui->action_template, &QAction::triggered, this, &StaticData::ExportTemplateFile);
    connect(ui->action_save_xlsx, &QAction::triggered, this, &StaticData::SaveExcel);

    ui->editTotal->setValidator(new QIntValidator(1, kStaticMaxTotal, this));
    ui->editTotal->setToolTip(QString("1 ~ %1").arg(kStaticMaxTotal));
    ui->editStartAddr->setValidator(new QRegularExpressionValidator(QRegularExpression("^[A-Fa-f0-9]{1,6}$"), this));
    ui->editStartAddr->setToolTip(xq::StartAddressHint());

    m_pWorker = new Worker;
    // A read that finds no record pauses before saying so, so that the
    // search shows on the progress bar.
    m_pWorker->nNotFoundPauseMs = kNotFoundPauseMs;
    m_pThread = new QThread;
    m_pWorker->moveToThread(m_pThread);
    connect(this, &StaticData::startStaticWrite, m_pWorker, &Worker::OnWrite);
    connect(this, &StaticData::startStaticRead, m_pWorker, &Worker::OnRead);
    connect(m_pWorker, &Worker::report, this, &StaticData::report);
    connect(m_pWorker, &Worker::finish, this, &StaticData::finish);
    connect(m_pWorker, &Worker::log, this, &StaticData::log);
    connect(m_pWorker, &Worker::progress, this, &StaticData::progress);
    connect(m_pWorker, &Worker::warning, this, &StaticData::ShowWarning);
    connect(m_pWorker, &Worker::send, ui->tabXlsx, &TabWidgetXlsx::SetStaticData, Qt::BlockingQueuedConnection);
    connect(m_pThread, &QThread::finished, m_pWorker, &QObject::deleteLater);
    connect(ui->cmbStorage, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &StaticData::SetStorage);
    connect(ui->pbImport, &QPushButton::clicked, this, &StaticData::ImportXlsx);

    ui->editReadonly->setText(QString::number(0));
    ui->editUsed->setText(QString::number(0));
    ui->editTotal->setText(QString::number(StaticRules::DefaultTotal(0)));
    ui->editTotal->setFocus();
    ui->editTotal->selectAll();
    m_pThread->start(QThread::InheritPriority);
}

StaticData::~StaticData()
{
    StopWorker();
    delete ui;
}

void StaticData::StopWorker()
{
    if (!m_pThread)
        return;
    m_pThread->quit();
    // The worker's send waits for this (the GUI) thread: a record it hands
    // over while we wait is dropped, which releases the worker.
    while (!m_pThread->wait(20))
        QCoreApplication::removePostedEvents(ui->tabXlsx, QEvent::MetaCall);
    m_pThread->deleteLater();
    m_pThread = nullptr;
}

TabWidgetXlsx* StaticData::Xlsx() const
{
    return ui->tabXlsx;
}

void StaticData::SetFlashCtrl(SpiFlashCtrl* pCtrl)
{
    if (!pCtrl)
        return;
    m_pSpiCtrl = pCtrl;
    m_pWorker->pSpiCtrl = pCtrl;
}

void StaticData::winStateChanged(Qt::WindowStates state)
{
    if (state == Qt::WindowNoState || state == Qt::WindowMaximized)
        ui->tabXlsx->resizeColumn();
}

void StaticData::SetLocal(xlsx_config xlstCfg)
{
    if (xlstCfg.start_address != 0xFFFFFFFF)
        ui->editStartAddr->setText(QString::number(xlstCfg.start_address, 16).toUpper());
    ui->cmbStorage->setCurrentIndex(xlstCfg.storage);
    ui->chkLock->setChecked(xlstCfg.otp != 0);
}

void StaticData::SetStorage(int index)
{
    ui->chkLock->setVisible(index != 0);
}

void StaticData::ShowLayout()
{
    const StaticLayout& layout = ui->tabXlsx->Layout();
    SetLocal(layout.config);
    ui->editReadonly->setText(QString::number(layout.nReadOnlyLength));
    ui->editUsed->setText(QString::number(layout.nUsedLength));
    ui->editTotal->setText(QString::number(StaticRules::DefaultTotal(layout.nUsedLength)));
    ui->editTotal->setFocus();
    ui->editTotal->selectAll();
}

bool StaticData::TotalSizeOk(int nTotal)
{
    const StaticLayout& layout = ui->tabXlsx->Layout();
    return StaticRules::Total(nTotal, layout.nReadOnlyLength, layout.nUsedLength).isEmpty();
}

void StaticData::RejectTotal()
{
    msgbox::Warning(this, tr("设置错误"), StaticRules::TotalRefusal());
    ui->editTotal->setFocus();
    ui->editTotal->selectAll();
}

bool StaticData::StartAddressOk()
{
    // An empty box must not quietly become address 0.
    if (ui->editStartAddr->hasAcceptableInput())
        return true;
    msgbox::Warning(this, tr("设置错误"), tr("\"起始地址\"设置错误，请重新设置"));
    ui->editStartAddr->setFocus();
    ui->editStartAddr->selectAll();
    return false;
}

void StaticData::Write()
{
    StaticWriteRequest request;
    request.nTotal = BoxTotal(ui->editTotal->text());
    request.nStart = BoxStart(ui->editStartAddr->text());
    if (!ui->editTotal->hasAcceptableInput() || !TotalSizeOk(request.nTotal)) {
        RejectTotal();
        emit log(StaticRules::WriteRefusedLine());
        emit finish(OptOf(OperationKind::kWrite), true);
        return;
    }
    if (!StartAddressOk()) {
        emit log(StaticRules::WriteRefusedLine());
        emit finish(OptOf(OperationKind::kWrite), true);
        return;
    }
    const xlsx_config& config = ui->tabXlsx->Layout().config;
    if (config.bStartUnreadable && request.nStart == 0) {
        // The workbook's start cell did not read: the 0 the tab shows was nobody's choice.
        const QString strLine = tr("工作簿的起始地址\"%1\"不是十六进制数，按 0 处理").arg(config.strStartText);
        emit log(strLine);
        if (msgbox::Question(this, tr("请确认"), strLine + "\n" + tr("确定写入到地址 0x000000？"),
                             QMessageBox::Yes | QMessageBox::No, {}, QMessageBox::No) != QMessageBox::Yes) {
            emit finish(OptOf(OperationKind::kWrite), true);
            return;
        }
    }
    request.bCurrent = ui->radioCurrent->isChecked();
    // A device value that does not read whole would be written as its
    // leading digits, or as 0: refused where the operator typed it.
    const QStringList refused = request.bCurrent ? ui->tabXlsx->RefusedDeviceValues() : QStringList();
    if (!refused.isEmpty()) {
        msgbox::Warning(this, tr("设置错误"), refused.join('\n'));
        for (const QString& strLine : refused)
            emit log(strLine);
        emit log(StaticRules::WriteRefusedLine());
        emit finish(OptOf(OperationKind::kWrite), true);
        return;
    }
    if (request.bCurrent && !EmptyCurrentValuesAccepted()) {
        emit finish(OptOf(OperationKind::kWrite), true);
        return;
    }
    if (request.bCurrent)
        ui->tabXlsx->TakeTableValues();
    request.record = ui->tabXlsx->GetStaticData(request.bCurrent);
    if (request.record.isEmpty()) {
        emit log(StaticRules::WriteRefusedLine());
        emit finish(OptOf(OperationKind::kWrite), true);
        return;
    }
    reinterpret_cast<static_data_hdr*>(request.record.data())->nTotalSize = uint32_t(request.nTotal);
    request.strWorkbook = ui->tabXlsx->Layout().strWorkbook;
    emit startStaticWrite(request);
    emit startWrite();
}

void StaticData::Read()
{
    StaticReadRequest request;
    request.nStart = BoxStart(ui->editStartAddr->text());
    request.nTotal = BoxTotal(ui->editTotal->text());
    if (!ui->editTotal->hasAcceptableInput() || !TotalSizeOk(request.nTotal)) {
        RejectTotal();
        emit log(tr("设置错误"));
        emit finish(OptOf(OperationKind::kRead), true);
        return;
    }
    if (!StartAddressOk()) {
        emit log(tr("设置错误"));
        emit finish(OptOf(OperationKind::kRead), true);
        return;
    }
    request.nLayoutLength = ui->tabXlsx->Layout().nUsedLength;
    emit startStaticRead(request);
    emit startRead();
}

bool StaticData::EmptyCurrentValuesAccepted()
{
    const QStringList empty = ui->tabXlsx->ItemsWithoutDeviceValue();
    if (empty.isEmpty())
        return true;
    constexpr int kNamesShown = 12;
    QString strNames = QStringList(empty.mid(0, kNamesShown)).join(tr("、"));
    if (empty.size() > kNamesShown)
        strNames += tr(" 等%1项").arg(empty.size());
    return msgbox::Question(this, tr("请确认"),
                            tr("以下项目没有设备数值，将写入0:\n%1\n确定写入当前值？").arg(strNames),
                            QMessageBox::Yes | QMessageBox::No, {}, QMessageBox::No) == QMessageBox::Yes;
}

void StaticData::ImportXlsx()
{
    const QString strFile = msgbox::OpenFileName(this, tr("打开Excel文件"), m_strLastDir, "Excel(*.xlsx)");
    if (strFile.isEmpty())
        return;
    m_strLastDir = QFileInfo(strFile).absolutePath();
    const int rc = ui->tabXlsx->LoadXlsx(strFile);
    if (rc != 0) {
        // The workbook was read aside: the tab still shows (and writes) the
        // layout loaded before.
        const QString strReason = ui->tabXlsx->Layout().strError;
        msgbox::Critical(this, tr("打开文件错误"),
                         tr("文件:%1, 错误码:%2").arg(strFile).arg(rc) + (strReason.isEmpty() ? "" : "\n" + strReason));
        return;
    }
    m_strWorkbook = strFile;
    SaveSettings();
    ShowLayout();
    emit progress(0);
    emit log(tr("成功打开Excel文件!"));
    for (const QString& strWarning : ui->tabXlsx->Layout().warnings)
        emit log(strWarning);
}

QString StaticData::AskXlsxName(const QString& strCaption)
{
    QString strFile = msgbox::SaveFileName(this, strCaption, m_strLastDir, "Excel(*.xlsx)");
    if (!strFile.isEmpty() && QFileInfo(strFile).suffix().isEmpty())
        strFile += ".xlsx";
    return strFile;
}

void StaticData::ReportSaveFailure(const QString& strFile, const QString& strError)
{
    // The writer's own text is English and technical: the box says what the
    // operator can act on, the log keeps the writer's text.
    QString strReason = xq::OutputRefusal(strFile);
    if (strReason.isEmpty())
        strReason = tr("文件无法写入，可能已被其他程序打开");
    msgbox::Critical(this, tr("保存失败"), tr("无法保存文件:%1\n原因: %2").arg(strFile, strReason));
    emit log(tr("保存%1失败: %2").arg(strFile, strError));
}

void StaticData::ExportTemplateFile()
{
    const QString strFile = AskXlsxName(tr("导出模板"));
    if (strFile.isEmpty())
        return;
    QString strError;
    if (!ExportTemplate(strFile, strError)) {
        ReportSaveFailure(strFile, strError);
        return;
    }
    emit log(tr("模板已导出到:%1").arg(strFile));
}

void StaticData::SaveExcel()
{
    // The start address saved is the one the tab shows and writes with.
    if (!StartAddressOk())
        return;
    const QString strFile = AskXlsxName(tr("保存Excel"));
    if (strFile.isEmpty())
        return;
    ui->tabXlsx->TakeTableValues();
    xlsx_config config = ui->tabXlsx->Layout().config;
    config.start_address = uint32_t(BoxStart(ui->editStartAddr->text()));
    config.storage = uint8_t(ui->cmbStorage->currentIndex());
    config.otp = ui->chkLock->isChecked() ? 1 : 0;
    QString strError;
    if (!SaveLayoutWorkbook(ui->tabXlsx->Layout(), config, strFile, strError)) {
        ReportSaveFailure(strFile, strError);
        return;
    }
    emit log(tr("Excel已保存到:%1").arg(strFile));
}

void StaticData::JobSettings(JobSpec& spec) const
{
    spec.strWorkbook = m_strWorkbook.isEmpty() ? QString() : QFileInfo(m_strWorkbook).absoluteFilePath();
    spec.strStaticStart = ui->editStartAddr->text();
    spec.strStaticTotal = ui->editTotal->text();
    spec.bStaticCurrent = ui->radioCurrent->isChecked();
}

void StaticData::ShowJob(const JobPlan& plan)
{
    if (!plan.bStatic)
        return;
    if (ui->tabXlsx->LoadXlsx(plan.staticWrite.strWorkbook) == 0)
        ShowLayout();
    ui->editStartAddr->setText(QString::number(plan.staticWrite.nStart, 16).toUpper());
    ui->editTotal->setText(QString::number(plan.staticWrite.nTotal));
    ui->radioCurrent->setChecked(plan.staticWrite.bCurrent);
    ui->radioDefault->setChecked(!plan.staticWrite.bCurrent);
}

void StaticData::LoadSettings()
{
    QSettings settings(kSettingsFile, QSettings::IniFormat);
    QString strPath = settings.value("StaticData/xlsx").toString();
    if (strPath.isEmpty() || !QFileInfo::exists(strPath))
        strPath = m_strLastDir + kDefaultWorkbook;
    if (ui->tabXlsx->LoadXlsx(strPath) == 0) {
        m_strLastDir = QFileInfo(strPath).absolutePath();
        m_strWorkbook = strPath;
        ShowLayout();
    }
}

void StaticData::SaveSettings()
{
    // Only a workbook that loaded is remembered: one that failed would fail
    // again at every start.
    QSettings settings(kSettingsFile, QSettings::IniFormat);
    settings.setValue("StaticData/xlsx", m_strWorkbook);
}

void StaticData::ShowWarning(const QString& strText)
{
    msgbox::Warning(this, tr("告警"), strText);
}
