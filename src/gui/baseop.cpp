#include "baseop.h"

#include "baseworker.h"
#include "filesortproxymodel.h"
#include "filesysmodel.h"
#include "ui_baseop.h"

#include <commontexts.h>
#include <application.h>
#include <flashrules.h>
#include <jobfile.h>
#include <messagebox.h>
#include <mnemonic.h>
#include <outputfile.h>
#include <serialcounter.h>

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QIntValidator>
#include <QListView>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSettings>
#include <QSplitterHandle>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

namespace {
constexpr int kOptionHeight = BaseOp::kOptionHeightDefault;
constexpr int kDirHeight = 400;
constexpr int kBrowserRows = 4;  // file rows the browser keeps on a short tab
constexpr uint kSeqShownAsOne = 0xFFFFFFFFu;

// The browser's default root: the user's download folder, or home without one.
QString DownloadDir()
{
    const QString strDir = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return QFileInfo(strDir).isDir() ? strDir : QDir::homePath();
}
}  // namespace

BaseOp::BaseOp(QWidget* pParent) : TabWidgetInf(pParent), ui(new Ui::BaseOp)
{
    ui->setupUi(this);
    SetMnemonic(ui->labelStartAddr, ui->editStartAddr, 'A');
    SetMnemonic(ui->labelDownOptions, ui->cmbDownOptions, 'E');
    SetMnemonic(ui->radioReadByte, 'B');
    SetMnemonic(ui->radioReadAll, 'W');
    SetMnemonic(ui->chkSeqId, 'S');
    SetMnemonic(ui->chkProtect, 'P');
    // On a small screen the options scroll rather than push the window's
    // log and status bar off the screen.
    auto* pOptionArea = new QScrollArea;
    pOptionArea->setObjectName("scrollOption");
    pOptionArea->setWidgetResizable(true);
    pOptionArea->setFrameShape(QFrame::NoFrame);
    pOptionArea->setMinimumHeight(24);  // below its scroll bars' own minimum
    ui->splitter->insertWidget(0, pOptionArea);
    pOptionArea->setWidget(ui->widgetOption);
    // A window that grows or shrinks changes the browser; the options keep their height.
    ui->splitter->setStretchFactor(0, 0);
    ui->splitter->setStretchFactor(1, 1);
    QSplitterHandle* pHandle = ui->splitter->handle(1);
    pHandle->setAttribute(Qt::WA_Hover, true);
    pHandle->setToolTip(tr("往下拖拉展开选项"));
    ui->splitter->setSizes({0, 1});
    // A drag of the handle sets the height the options pane keeps when it can.
    connect(ui->splitter, &QSplitter::splitterMoved, this, [this](int pos, int index) {
        if (index == 1)
            m_nOptionWanted = pos;
        SplitterMove(pos, index);
    });
    connect(ui->pbSplitter, &QPushButton::clicked, this, &BaseOp::SplitterShow);
    m_nOwnRowButtonHeight = ui->pbSplitter->maximumHeight();
    ui->splitter->installEventFilter(this);
    m_strLastSaveDir = QCoreApplication::applicationDirPath();

    ui->cmbDownOptions->setView(new QListView(ui->cmbDownOptions));
    ui->cmbDownOptions->addItems(
        {tr("全擦除"), tr("按文件大小擦除"), tr("按指定大小擦除"), tr("智能烧写：只擦写有变化的扇区")});
    ui->cmbDownOptions->setCurrentIndex(kEraseByFile);
    // The longest choice (the smart write, long in English) shows whole in
    // the list; the box itself may be narrower than it.
    ui->cmbDownOptions->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ui->cmbDownOptions->setMinimumContentsLength(14);
    ui->cmbDownOptions->view()->setMinimumWidth(ui->cmbDownOptions->view()->sizeHintForColumn(0) + 24);

    const QString strRange = QString("1 ~ %1").arg(xq::kMaxFlashSize);
    ui->editReadBytes->setValidator(new QIntValidator(1, int(xq::kMaxFlashSize), this));
    ui->editReadBytes->setToolTip(strRange);
    ui->editEraseBytes->setValidator(new QIntValidator(1, int(xq::kMaxFlashSize), this));
    ui->editEraseBytes->setToolTip(strRange);
    ui->editEraseBytes->hide();
    ui->editStartAddr->setValidator(new QRegularExpressionValidator(QRegularExpression("^[A-Fa-f0-9]{1,6}$"), this));
    ui->editStartAddr->setToolTip(xq::StartAddressHint());

    m_pDecValidator = new QRegularExpressionValidator(QRegularExpression("^[0-9]{1,10}$"), this);
    m_pHexValidator = new QRegularExpressionValidator(QRegularExpression("^0[xX][A-Fa-f0-9]{1,8}$"), this);
    ui->editSeq->setValidator(m_pDecValidator);
    ui->editSeq->setText("00000001");
    ui->pbTransform->setVisible(false);
    m_pReadGroup = new QButtonGroup(this);
    m_pReadGroup->addButton(ui->radioReadByte);
    m_pReadGroup->addButton(ui->radioReadAll);
    ui->chkProtect->hide();

    connect(m_pReadGroup, QOverload<QAbstractButton*>::of(&QButtonGroup::buttonClicked), this, &BaseOp::ReadSelect);
    connect(ui->cmbDownOptions, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &BaseOp::SetDownOption);
    connect(ui->chkSeqId, &QCheckBox::clicked, this, &BaseOp::SetSeqEnable);
    connect(ui->pbTransform, &QPushButton::toggled, this, &BaseOp::Transform);
    connect(ui->editSeq, &QLineEdit::textEdited, this,
            [](const QString& strText) { qDebug("editSeq:%s", strText.toUtf8().constData()); });

    SetUpBrowser();

    m_pWorker = new BaseWorker;
    m_pThread = new QThread;
    m_pWorker->moveToThread(m_pThread);
    connect(this, &BaseOp::startImageWrite, m_pWorker, &BaseWorker::OnWrite);
    connect(this, &BaseOp::startImageRead, m_pWorker, &BaseWorker::OnRead);
    connect(this, &BaseOp::startImageVerify, m_pWorker, &BaseWorker::OnVerify);
    connect(m_pWorker, &BaseWorker::report, this, &BaseOp::report);
    connect(m_pWorker, &BaseWorker::finish, this, &BaseOp::finish);
    connect(m_pWorker, &BaseWorker::log, this, &BaseOp::log);
    connect(m_pWorker, &BaseWorker::progress, this, &BaseOp::progress);
    connect(m_pWorker, &BaseWorker::seqId, this, &BaseOp::SetSeqId);
    connect(m_pWorker, &BaseWorker::warning, this, &BaseOp::ShowWarning);
    connect(m_pThread, &QThread::finished, m_pWorker, &QObject::deleteLater);
    m_pWorker->takeSerial = [this](uint32_t& nSerial) { return TakeSerial(nSerial); };
    m_pThread->start(QThread::InheritPriority);
}

BaseOp::~BaseOp()
{
    StopWorker();
    delete ui;
}

void BaseOp::StopWorker()
{
    if (!m_pThread)
        return;
    m_pThread->quit();
    m_pThread->wait();
    m_pThread->deleteLater();
    m_pThread = nullptr;
}

void BaseOp::SetUpBrowser()
{
    m_pFileModel = new FileSysModel(this);
    m_pProxyModel = new FileSortProxyModel(this);
    m_pProxyModel->setSourceModel(m_pFileModel);
    m_pProxyModel->setDynamicSortFilter(true);
    m_pProxyModel->sort(3, Qt::DescendingOrder);
    TableViewWithKeys* pView = ui->tableView;
    pView->setModel(m_pProxyModel);
    pView->sortByColumn(3, Qt::DescendingOrder);
    ShowDirectory(DownloadDir());

    pView->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    pView->horizontalHeader()->swapSections(1, 3);
    pView->setColumnHidden(2, true);
    pView->setColumnWidth(0, 480);
    pView->setColumnWidth(1, 150);
    pView->setColumnWidth(3, 150);
    pView->verticalHeader()->hide();
    pView->setSelectionMode(QAbstractItemView::SingleSelection);
    pView->setSelectionBehavior(QAbstractItemView::SelectRows);
    pView->setShowGrid(false);
    pView->setSortingEnabled(true);
    pView->setAlternatingRowColors(true);

    connect(ui->pbUp, &QPushButton::clicked, pView, &TableViewWithKeys::setDirUp);
    connect(ui->pbGo, &QPushButton::clicked, this, &BaseOp::SelectDir);
    connect(ui->editUrl, &QLineEdit::returnPressed, this, &BaseOp::GotoDir);
    connect(pView, &QTableView::doubleClicked, pView, &TableViewWithKeys::setRootIndex);
    connect(pView, &QTableView::clicked, pView, QOverload<const QModelIndex&>::of(&QTableView::update));
    connect(m_pFileModel, &FileSysModel::uncheck, pView, &TableViewWithKeys::uncheckedUpdate);
    connect(m_pFileModel, &QFileSystemModel::directoryLoaded, ui->editUrl, &QLineEdit::setText);
    // A job's image is checked once its directory has loaded (the load resets every check).
    connect(m_pFileModel, &QFileSystemModel::directoryLoaded, this, [this](const QString& strDir) {
        if (!m_strJobImage.isEmpty() && QFileInfo(m_strJobImage).absolutePath() == strDir)
            m_pFileModel->setData(m_pFileModel->index(m_strJobImage), Qt::Checked, Qt::CheckStateRole);
    });
}

void BaseOp::ShowDirectory(const QString& strDir)
{
    ui->editUrl->setText(strDir);
    const QModelIndex root = m_pFileModel->setRootPath(strDir);
    ui->tableView->QTableView::setRootIndex(m_pProxyModel->mapFromSource(root));
}

void BaseOp::SetFlashCtrl(SpiFlashCtrl* pCtrl)
{
    if (!pCtrl)
        return;
    pSpiCtrl = pCtrl;
    m_pWorker->pSpiCtrl = pCtrl;
}

void BaseOp::winStateChanged(Qt::WindowStates state)
{
    Q_UNUSED(state);
}

bool BaseOp::StartAddressAccepted(OperationKind eKind)
{
    // Only text the validator accepts whole: an empty or half-typed box
    // must not quietly become address 0.
    if (ui->editStartAddr->hasAcceptableInput())
        return true;
    msgbox::Warning(this, tr("告警"), ImageRules::BadStartAddress());
    emit finish(OptOf(eKind), true);
    return false;
}

int32_t BaseOp::StartAddress() const
{
    int32_t n = 0;
    return ImageRules::StartAddress(ui->editStartAddr->text(), n).isEmpty() ? n : 0;
}

void BaseOp::Write()
{
    const int nMode = ui->cmbDownOptions->currentIndex();
    const QString strImage = m_pFileModel->strCheckedPath;
    const QFileInfo imageInfo(strImage);
    const qint64 nImageSize = (!strImage.isEmpty() && imageInfo.isFile()) ? imageInfo.size() : 0;
    if (!StartAddressAccepted(OperationKind::kWrite))
        return;
    ImageWriteRequest request;
    request.nStart = StartAddress();
    request.bProtect = ui->chkProtect->isChecked();
    request.bSmart = nMode == kEraseSmart;

    // The rule also refuses what the box's validator does not accept whole.
    const QString strRefusal = ImageRules::EraseCount(nMode, nImageSize, ui->editEraseBytes->text(), request.nEraseBytes);
    if (!strRefusal.isEmpty()) {
        msgbox::Warning(this, tr("告警"), strRefusal);
        emit finish(OptOf(OperationKind::kWrite), true);
        return;
    }
    if (nImageSize == 0 &&
        msgbox::Question(this, tr("请确认"), tr("当前未选择文件\n确定仅擦除FLAHS？"),
                         QMessageBox::Yes | QMessageBox::No, {}, QMessageBox::No) != QMessageBox::Yes) {
        emit finish(OptOf(OperationKind::kWrite), true);
        return;
    }
    const QString strTooLarge = ImageRules::ImageSize(nImageSize);
    if (!strTooLarge.isEmpty()) {
        msgbox::Warning(this, tr("告警"), strTooLarge);
        emit log(tr("烧写文件%1大于Flash容量").arg(strImage));
        emit finish(OptOf(OperationKind::kWrite), true);
        return;
    }

    request.bSerial = ui->chkSeqId->isChecked();
    request.nSerial = GetSeqId();
    request.bCheckSerial = request.bSerial && m_bCheckSerial;
    // A box left empty (past the last number) or unreadable would stamp 0.
    uint32_t nShown = 0;
    if (request.bSerial && !ImageRules::ParseSerialBox(ui->editSeq->text(), ui->pbTransform->isChecked(), nShown)) {
        const QString strLine = tr("序列号框中没有可写入的序列号");
        return Refuse(OperationKind::kWrite, strLine, strLine);
    }
    // An erase alone stamps a number too.
    if (request.bSerial && !QSettings(kSettingsFile, QSettings::IniFormat).isWritable()) {
        // The next number could not be kept: after a restart this one would be stamped again.
        const QString strLine = tr("序列号无法保存到%1，未写入序列号").arg(QFileInfo(kSettingsFile).absoluteFilePath());
        return Refuse(OperationKind::kWrite, strLine, strLine);
    }
    if (nImageSize > 0) {
        // A checked image that cannot be read whole is refused here: it must
        // never turn into an erase-only run that reports success.
        QFile file(strImage);
        if (file.open(QIODevice::ReadOnly))
            request.image = file.read(nImageSize);
        if (request.image.size() != nImageSize) {
            msgbox::Warning(this, tr("告警"), tr("无法读取镜像文件\n%1").arg(strImage));
            emit log(tr("读取镜像文件%1失败: %2").arg(strImage, file.errorString()));
            emit finish(OptOf(OperationKind::kWrite), true);
            return;
        }
        request.strImage = strImage;
        emit log(xq::PrepareWriteLine(strImage));
    }
    emit startImageWrite(request);
    emit startWrite();
}

void BaseOp::JobSettings(JobSpec& spec) const
{
    spec.strImage = m_pFileModel->strCheckedPath.isEmpty() ? QString()
                                                           : QFileInfo(m_pFileModel->strCheckedPath).absoluteFilePath();
    spec.strStart = ui->editStartAddr->text();
    spec.strErase = ImageRules::EraseWord(ui->cmbDownOptions->currentIndex());
    spec.strEraseSize = spec.strErase == "size" ? ui->editEraseBytes->text() : QString();
    spec.bProtect = ui->chkProtect->isChecked();
    spec.bSerial = ui->chkSeqId->isChecked();
    spec.strFirstSerial = QString::number(const_cast<BaseOp*>(this)->GetSeqId());
    spec.bCheckSerial = spec.bSerial && m_bCheckSerial;
}

void BaseOp::ShowJob(const JobPlan& plan)
{
    const JobSpec& spec = plan.spec;
    ui->editStartAddr->setText(spec.strStart);
    ui->cmbDownOptions->setCurrentIndex(spec.strErase == "size" ? kEraseBySize : ImageRules::EraseMode(spec.strErase));
    ui->editEraseBytes->setText(spec.strEraseSize);
    ui->chkProtect->setChecked(spec.bProtect);
    ui->chkProtect->setVisible(ui->chkProtect->isVisible() || spec.bProtect);
    ui->chkSeqId->setChecked(spec.bSerial);
    // The number the job's counter gives next, not the tab's own.
    if (spec.bSerial)
        ShowNextSerial(SerialCounter::Peek(plan.strCounterFile, plan.nFirstSerial));
    m_strJobImage = plan.write.strImage;
    ShowDirectory(QFileInfo(m_strJobImage).absolutePath());
    if (m_pFileModel->mapFileCheck.contains(QFileInfo(m_strJobImage).fileName()))
        m_pFileModel->setData(m_pFileModel->index(m_strJobImage), Qt::Checked, Qt::CheckStateRole);
}

void BaseOp::Read()
{
    if (!StartAddressAccepted(OperationKind::kRead))
        return;
    ImageReadRequest request;
    request.nStart = StartAddress();
    request.nLength = xq::kWholeChip;
    if (ui->radioReadByte->isChecked()) {
        // 9999999 fits the box's seven characters but not the rule's 1 ~ 2097152.
        const QString strRefusal = ImageRules::ReadLength(ui->editReadBytes->text(), request.nLength);
        if (!strRefusal.isEmpty()) {
            msgbox::Warning(this, tr("告警"), strRefusal);
            emit finish(OptOf(OperationKind::kRead), true);
            return;
        }
    }
    const QString strRoot = m_pFileModel->rootPath();
    const QString strDir = strRoot.isEmpty() ? m_strLastSaveDir : strRoot;
    // A name is offered; one typed without an extension gets ".bin", so the
    // browser's filter shows the file.
    const QString strOffer =
        QDir(strDir).filePath(QString("readback_%1.bin").arg(QDateTime::currentDateTime().toString("yyyyMMdd_hhmmss")));
    QString strFile = msgbox::SaveFileName(this, tr("保存成BIN文件"), strOffer, tr("二进制文件 (*.bin)"));
    if (!strFile.isEmpty() && QFileInfo(strFile).suffix().isEmpty()) {
        strFile += ".bin";
        // The dialog asked about the name as typed, not about this one.
        if (QFileInfo::exists(strFile) &&
            msgbox::Question(this, tr("请确认"), tr("%1 已存在，是否覆盖？").arg(strFile),
                             QMessageBox::Yes | QMessageBox::No, {}, QMessageBox::No) != QMessageBox::Yes)
            strFile.clear();
    }
    if (strFile.isEmpty()) {
        emit finish(OptOf(OperationKind::kRead), true);
        return;
    }
    m_strLastSaveDir = QFileInfo(strFile).absolutePath();
    // A path that cannot take the file is refused before the chip is read.
    const QString strRefusal = xq::OutputRefusal(strFile);
    if (!strRefusal.isEmpty()) {
        const QString strText = xq::ReadOutputRefusalText(strFile, strRefusal);
        for (const QString& strLine : strText.split('\n'))
            emit log(strLine);
        msgbox::Warning(this, tr("告警"), strText);
        emit finish(OptOf(OperationKind::kRead), true);
        return;
    }
    request.bSerial = ui->chkSeqId->isChecked();
    request.strSaveFile = strFile;
    emit log(tr("准备读取Flash并保存到:%1").arg(strFile));
    emit startImageRead(request);
    emit startRead();
}

void BaseOp::Verify(bool bBlank)
{
    const OperationKind eKind = OperationKind::kVerify;
    if (!StartAddressAccepted(eKind))
        return;
    ImageVerifyRequest request;
    request.nStart = StartAddress();
    const QString strImage = m_pFileModel->strCheckedPath;
    const QFileInfo imageInfo(strImage);
    const qint64 nImageSize = (!strImage.isEmpty() && imageInfo.isFile()) ? imageInfo.size() : 0;
    if (bBlank) {
        int32_t nBytes = 0;
        const QString strRefusal =
            ImageRules::EraseCount(ui->cmbDownOptions->currentIndex(), nImageSize, ui->editEraseBytes->text(), nBytes);
        if (!strRefusal.isEmpty())
            return Refuse(eKind, strRefusal);
        // The whole-chip erase covers the flash from its first byte.
        request.nLength = nBytes;
        if (nBytes == xq::kWholeChip)
            request.nStart = 0;
        emit startImageVerify(request);
        emit startRead();
        return;
    }
    if (nImageSize == 0)
        return Refuse(eKind, tr("请选择一个文件进行校验"));
    const QString strTooLarge = ImageRules::ImageSize(nImageSize);
    if (!strTooLarge.isEmpty())
        return Refuse(eKind, strTooLarge);
    QFile file(strImage);
    if (file.open(QIODevice::ReadOnly))
        request.image = file.read(nImageSize);
    if (request.image.size() != nImageSize)
        return Refuse(eKind, tr("无法读取镜像文件\n%1").arg(strImage),
                      tr("读取镜像文件%1失败: %2").arg(strImage, file.errorString()));
    const QString strEncrypted = BaseWorker::VerifyRefusal(request.image);
    if (!strEncrypted.isEmpty())
        return Refuse(eKind, strEncrypted, strEncrypted);
    request.strImage = strImage;
    emit startImageVerify(request);
    emit startRead();
}

void BaseOp::Refuse(OperationKind eKind, const QString& strText, const QString& strLog)
{
    msgbox::Warning(this, tr("告警"), strText);
    if (!strLog.isEmpty())
        emit log(strLog);
    emit finish(OptOf(eKind), true);
}

void BaseOp::ShowWarning(const QString& strText)
{
    msgbox::Warning(this, tr("告警"), strText);
}

void BaseOp::showEvent(QShowEvent* pEvent)
{
    // The serial number box shows a whole "0x00000000" in the font the
    // style sheet gave it (known only once the tab is polished).
    const QFontMetrics metrics = ui->editSeq->fontMetrics();
    ui->editSeq->setMinimumWidth(metrics.horizontalAdvance("0x00000000") + 20);
    // The address and byte count boxes as wide as eight digits or their
    // placeholder, so both rows of options fit the window's width.
    for (QLineEdit* pEdit : {ui->editStartAddr, ui->editReadBytes, ui->editEraseBytes})
        pEdit->setMaximumWidth(qMax(metrics.horizontalAdvance("00000000"), metrics.horizontalAdvance(pEdit->placeholderText())) + 20);
    // The splitter button's state follows the height the options take.
    ArrangeOptions();
    SplitterMove(ui->splitter->sizes().value(0), 1);
    TabWidgetInf::showEvent(pEvent);
}

void BaseOp::ArrangeOptions()
{
    if (m_nFourRowsHeight == 0) {
        // Measured once, in the form's four rows: the tab's height for them
        // above a browser of kBrowserRows file rows.
        const QMargins margins = layout()->contentsMargins();
        const int nDirBeside = ui->widgetDir->height() - ui->tableView->viewport()->height();
        m_nFourRowsHeight = margins.top() + margins.bottom() + qMax(kOptionHeight, ui->gridLayout->sizeHint().height()) +
                            ui->splitter->handleWidth() + nDirBeside +
                            kBrowserRows * ui->tableView->verticalHeader()->defaultSectionSize();
    }
    const bool bShort = height() < m_nFourRowsHeight;
    if (bShort == m_bShortRows && ui->splitter->widget(0)->maximumHeight() != QWIDGETSIZE_MAX)
        return;
    m_bShortRows = bShort;
    // Each moved option: its place in the four rows, then in the two.
    struct Place {
        QWidget* pWidget;
        int nRow, nColumn, nShortRow, nShortColumn;
    };
    const Place places[] = {
        {ui->radioReadByte, 1, 0, 1, 0},    {ui->editReadBytes, 1, 1, 1, 1},  {ui->radioReadAll, 1, 2, 1, 2},
        {ui->labelDownOptions, 2, 0, 1, 3}, {ui->cmbDownOptions, 2, 1, 1, 4}, {ui->editEraseBytes, 2, 2, 1, 5},
        {ui->chkProtect, 3, 1, 1, 6},
    };
    for (const Place& place : places) {
        ui->gridLayout->removeWidget(place.pWidget);
        ui->gridLayout->addWidget(place.pWidget, bShort ? place.nShortRow : place.nRow, bShort ? place.nShortColumn : place.nColumn);
    }
    ui->gridLayout->removeItem(ui->spacerOption);
    ui->gridLayout->addItem(ui->spacerOption, 0, bShort ? 7 : 6);
    // The two rows are about half as tall as the pane's usual 130 px: held
    // at 130 the pane would scroll, or take the browser's file rows, on the
    // short tab the two rows are there for.
    ui->widgetOption->setMinimumHeight(bShort ? 0 : kOptionHeight);
    ui->layoutDir->removeWidget(ui->pbSplitter);
    if (bShort)
        ui->layoutUrl->insertWidget(0, ui->pbSplitter);
    else
        ui->layoutDir->insertWidget(0, ui->pbSplitter);
    ui->pbSplitter->setMaximumHeight(bShort ? QWIDGETSIZE_MAX : m_nOwnRowButtonHeight);
    // The options pane is never taller than its options (a taller pane
    // would only add blank space the browser can use).
    ui->splitter->widget(0)->setMaximumHeight(qMax(ui->widgetOption->minimumHeight(), ui->widgetOption->sizeHint().height()));
}

int BaseOp::OptionsShownHeight() const
{
    return qMin(kOptionHeight, ui->splitter->widget(0)->maximumHeight());
}

void BaseOp::SetDownOption(int nIndex)
{
    ui->editEraseBytes->setVisible(nIndex == kEraseBySize);
}

void BaseOp::SplitterMove(int pos, int index)
{
    if (index != 1)
        return;
    QSplitterHandle* pHandle = ui->splitter->handle(1);
    if (pos < OptionsShownHeight()) {
        pHandle->setToolTip(tr("往下拖拉展开选项"));
        ui->pbSplitter->setText("∨");
        ui->pbSplitter->setToolTip(tr("展开选项"));
    } else {
        pHandle->setToolTip(tr("往上拖拉隐藏选项"));
        ui->pbSplitter->setText("∧");
        ui->pbSplitter->setToolTip(tr("隐藏选项"));
    }
}

void BaseOp::SplitterShow()
{
    if (ui->splitter->sizes().value(0) < OptionsShownHeight()) {
        m_nOptionWanted = kOptionHeight;
        ui->splitter->setSizes({kOptionHeight, kDirHeight});
        ui->pbSplitter->setText("∧");
        ui->pbSplitter->setToolTip(tr("隐藏选项"));
    } else {
        m_nOptionWanted = 0;
        ui->splitter->setSizes({0, 1});
        ui->pbSplitter->setText("∨");
        ui->pbSplitter->setToolTip(tr("展开选项"));
    }
}

void BaseOp::ReadSelect(QAbstractButton* btn)
{
    ui->editReadBytes->setEnabled(false);
    if (btn == ui->radioReadByte && ui->radioReadByte->isChecked())
        ui->editReadBytes->setEnabled(true);
}

void BaseOp::SelectDir()
{
    const QString strDir = msgbox::ExistingDirectory(this, tr("打开BIN文件所在目录"), m_pFileModel->rootPath());
    if (!strDir.isEmpty() && QFileInfo::exists(strDir)) {
        ui->editUrl->setText(strDir);
        GotoDir();
    }
}

void BaseOp::GotoDir()
{
    QString strPath = ui->editUrl->text();
    const QFileInfo info(strPath);
    if (info.isFile())
        strPath = info.absolutePath();
    if (QFileInfo(strPath).isDir()) {
        ShowDirectory(strPath);
        return;
    }
    msgbox::Warning(this, tr("告警"), tr("指定路径不存在\n请重新指定路径"));
    ui->editUrl->setFocus();
    ui->editUrl->selectAll();
}

void BaseOp::SetSeqEnable(bool bEnabled)
{
    ui->editSeq->setEnabled(bEnabled);
    ui->pbTransform->setVisible(bEnabled);
}

void BaseOp::Transform(bool bChecked)
{
    m_bSeqHex = bChecked;
    const QString strText = ui->editSeq->text();
    ui->editSeq->clear();
    // The text read as the box showed it until now; one that does not read gives 0.
    uint32_t nValue = 0;
    if (!ImageRules::ParseSerialBox(strText, !bChecked, nValue))
        nValue = 0;
    if (bChecked) {
        ui->editSeq->setValidator(m_pHexValidator);
        ui->editSeq->setText(QString("0x%1").arg(nValue, 8, 16, QChar('0')).toUpper().replace("0X", "0x"));
        ui->editSeq->setToolTip(tr("请输入十六进制数"));
        ui->pbTransform->setText("[10]");
        ui->pbTransform->setToolTip(tr("转为十进制"));
        ui->labelTransform->setText("HEX");
        ui->labelTransform->setToolTip(tr("当前为十六进制显示"));
    } else {
        ui->editSeq->setValidator(m_pDecValidator);
        ui->editSeq->setText(QString("%1").arg(nValue, 8, 10, QChar('0')));
        ui->editSeq->setToolTip(tr("请输入十进制数"));
        ui->pbTransform->setText("[16]");
        ui->pbTransform->setToolTip(tr("转为十六进制"));
        ui->labelTransform->setText("DEC");
        ui->labelTransform->setToolTip(tr("当前为十进制显示"));
    }
}

QString BaseOp::SeqText(uint nSeqId, bool bHex)
{
    const uint nShown = nSeqId == kSeqShownAsOne ? 1 : nSeqId;
    if (bHex)
        return QString("0x%1").arg(nShown, 8, 16, QChar('0')).toUpper().replace("0X", "0x");
    return QString("%1").arg(nShown, 8, 10, QChar('0'));
}

void BaseOp::SetSeqId(uint nSeqId)
{
    ui->editSeq->setText(SeqText(nSeqId, ui->pbTransform->isChecked()));
}

void BaseOp::ShowNextSerial(uint64_t nNext)
{
    // Past the last number nothing is left to offer: the box stays empty.
    if (nNext > ImageRules::kLastSerial)
        ui->editSeq->clear();
    else
        SetSeqId(uint(nNext));
}

// Runs on the worker thread the moment the write takes nSerial to stamp it:
// the next number is in the settings file (synced) before the chip gets this
// one, so a window killed from here on offers the next number when it starts
// again, never this one. A number taken whose stamping then fails is said in
// the log by the write and skipped.
bool BaseOp::TakeSerial(uint32_t nSerial)
{
    const QString strNext = SeqText(uint(nSerial + 1), m_bSeqHex);
    QSettings settings(kSettingsFile, QSettings::IniFormat);
    settings.setValue("BaseOp/seq_id", strNext);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        emit log(tr("序列号无法保存到%1，未写入序列号").arg(QFileInfo(kSettingsFile).absoluteFilePath()));
        return false;
    }
    QMetaObject::invokeMethod(this, [this, nSerial] { SetSeqId(uint(nSerial + 1)); }, Qt::QueuedConnection);
    return true;
}

uint BaseOp::GetSeqId()
{
    uint32_t nValue = 0;
    return ImageRules::ParseSerialBox(ui->editSeq->text(), ui->pbTransform->isChecked(), nValue) ? nValue : 0;
}

void BaseOp::LoadSettings()
{
    m_strJobImage.clear();
    QSettings settings(kSettingsFile, QSettings::IniFormat);
    settings.beginGroup("BaseOp");
    ui->editStartAddr->setText(settings.value("address", "0").toString());
    ui->radioReadByte->setChecked(settings.value("radioByte", true).toBool());
    ui->editReadBytes->setEnabled(ui->radioReadByte->isChecked());
    ui->editReadBytes->setText(settings.value("readByte", "0").toString());
    ui->radioReadAll->setChecked(settings.value("radioAll", false).toBool());
    ui->cmbDownOptions->setCurrentIndex(settings.value("downOptions", kEraseByFile).toInt());
    ui->editEraseBytes->setText(settings.value("erase_bytes", "4096").toString());
    ui->chkProtect->setChecked(settings.value("protect", false).toBool());
    ui->chkProtect->setVisible(settings.value("protect_show", false).toBool());
    ui->chkSeqId->setChecked(settings.value("chk_seq", false).toBool());
    SetSeqEnable(ui->chkSeqId->isChecked());
    m_bCheckSerial = settings.value(kCheckSerialKey, false).toBool();
    {
        // Transform runs below in every case, not only on a change of the button.
        const QSignalBlocker block(ui->pbTransform);
        ui->pbTransform->setChecked(settings.value("transform", false).toBool());
    }
    Transform(ui->pbTransform->isChecked());
    ui->editSeq->setText(settings.value("seq_id", "00000001").toString());
    const int nOption = settings.value("splitterOption", kOptionHeight).toInt();
    m_nOptionWanted = nOption;
    ui->splitter->setSizes({nOption, settings.value("splitterDir", kDirHeight).toInt()});
    SplitterMove(nOption, 1);
    QString strPath = settings.value("path").toString();
    if (strPath.isEmpty() || !QFileInfo::exists(strPath))
        strPath = DownloadDir();
    ShowDirectory(strPath);
    settings.endGroup();
}

void BaseOp::SaveSettings()
{
    QSettings settings(kSettingsFile, QSettings::IniFormat);
    settings.beginGroup("BaseOp");
    settings.setValue("address", ui->editStartAddr->text());
    settings.setValue("radioByte", ui->radioReadByte->isChecked());
    settings.setValue("readByte", ui->editReadBytes->text());
    settings.setValue("radioAll", ui->radioReadAll->isChecked());
    settings.setValue("downOptions", ui->cmbDownOptions->currentIndex());
    settings.setValue("erase_bytes", ui->editEraseBytes->text());
    settings.setValue("protect", ui->chkProtect->isChecked());
    settings.setValue("protect_show", !ui->chkProtect->isHidden());
    settings.setValue("chk_seq", ui->chkSeqId->isChecked());
    if (!ui->editSeq->text().isEmpty())
        settings.setValue("seq_id", ui->editSeq->text());
    settings.setValue("transform", ui->pbTransform->isChecked());
    const QList<int> sizes = ui->splitter->sizes();
    // The height asked for, not one a short window gave the pane for now.
    settings.setValue("splitterOption", m_nOptionWanted);
    settings.setValue("splitterDir", sizes.value(sizes.size() - 1));
    settings.setValue("path", m_pFileModel->rootPath());
    settings.endGroup();
}

bool BaseOp::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    // Measured once the splitter has laid its panes out at the new size.
    if (pWatched == ui->splitter && pEvent->type() == QEvent::Resize)
        QTimer::singleShot(0, this, &BaseOp::KeepBrowserRows);
    return TabWidgetInf::eventFilter(pWatched, pEvent);
}

void BaseOp::KeepBrowserRows()
{
    ArrangeOptions();
    const QList<int> sizes = ui->splitter->sizes();
    if (sizes.size() < 2 || sizes[0] == 0 || m_nOptionWanted == 0)  // the options are hidden
        return;
    const int nRow = ui->tableView->verticalHeader()->defaultSectionSize();
    const int nDirNeeded = ui->widgetDir->height() - ui->tableView->viewport()->height() + kBrowserRows * nRow;
    const int nTotal = sizes[0] + sizes[1];
    // The height asked for, as far as the browser's rows leave room: less
    // on a short tab, and back again once the tab has grown.
    const QWidget* pOptions = ui->splitter->widget(0);
    const int nOption = qBound(pOptions->minimumHeight(), qMin(m_nOptionWanted, nTotal - nDirNeeded), pOptions->maximumHeight());
    if (nOption != sizes[0])
        ui->splitter->setSizes({nOption, nTotal - nOption});
}
