#include "flash/ui/multiflash.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>

#include "platform/programdir.h"

namespace kelmor::flash::ui {

namespace {

constexpr const char* kCaption = "MultiFlash Dialog";
constexpr const char* kFilter =
    "Hitachi Flash Files (*.a?\?);;GCC Flash file (*.rec);;All Files (*)";

bool Exists(const QString& path) {
    std::error_code ec;
    return !path.isEmpty() && std::filesystem::is_regular_file(path.toStdString(), ec);
}

}  // namespace

TCMultiFlashDlg::TCMultiFlashDlg(shell::ShellServices& shell, shell::MultiFlashKind kind,
                                 QWidget* parent)
    : QWidget(parent), shell_(shell), kind_(static_cast<int>(kind)) {
    channels_.prompter = &shell_.Prompter();
    for (int i = 0; i < 4; ++i) {
        FlashChannel& c = channels_.Channel(i);
        auto h8 = std::make_unique<WorkerPrompter>(this, shell_.Prompter(), c.h8.abort);
        auto h3069 = std::make_unique<WorkerPrompter>(this, shell_.Prompter(), c.h3069.abort);
        c.h8.link.prompter = h8.get();
        c.h3069.link.prompter = h3069.get();
        prompters_[static_cast<size_t>(2 * i)] = std::move(h8);
        prompters_[static_cast<size_t>(2 * i + 1)] = std::move(h3069);
        auto observer = std::make_unique<QueuedObserver>(
            this, i, QueuedObserver::Handlers{{}, [this] { peruuta->setEnabled(false); }, {}});
        c.h8.observer = observer.get();
        c.h3069.observer = observer.get();
        observers_[static_cast<size_t>(i)] = std::move(observer);
    }
    endObserver_ = std::make_unique<QueuedObserver>(
        this, -1, QueuedObserver::Handlers{{}, {}, [this](int c) { ChannelEnded(c); }});
    BuildWindow();
    using shell::ToolButton;
    buttonLock_ =
        shell_.LockToolButtons({ToolButton::Drawing, ToolButton::SingleModem, ToolButton::Flash});
    SetActive(true);
    if (shell_.DsrOption()) {
        for (QWidget* w : std::initializer_list<QWidget*>{Update, veryslow, OEM_flash,
                                                          SpeedSelection, freq_var, kidetaajuus})
            w->setEnabled(false);
    }
    freq_24->setChecked(true);
    ReadSettings();
}

TCMultiFlashDlg::~TCMultiFlashDlg() {
    channels_.RequestInterrupt();
    for (auto& p : prompters_) p->Close();
    std::shared_ptr<RunState> runs = runs_;
    KeepUntilEnded(std::move(runs_), [runs] { return runs->channels.AnyRunning(); });
    sound_.Stop();
}

void TCMultiFlashDlg::BuildWindow() {
    setObjectName(kind_ == 2 ? "TCMultiFlashDlg2" : "TCMultiFlashDlg");
    setWindowTitle(kCaption);
    auto* layout = new QVBoxLayout(this);

    auto* menuBar = new QMenuBar(this);
    QMenu* mode = menuBar->addMenu("&Mode");
    mode->setStatusTip("Close Flash, Exit.");
    openTerminal_ = mode->addAction("&Open terminal");
    openTerminal_->setStatusTip("Open new terminal window");
    connect(openTerminal_, &QAction::triggered, this, [this] { shell_.OpenTerminal(); });
    QAction* closeFlash = mode->addAction("&Close flash");
    closeFlash->setStatusTip("Close flash-window.");
    connect(closeFlash, &QAction::triggered, this, [this] { CloseWindow(this); });
    QAction* multi1 = mode->addAction("MultiFlash");
    QAction* multi2 = mode->addAction("MultiFlash 2");
    for (QAction* a : {multi1, multi2}) a->setStatusTip("Flashing multiply modems.");
    connect(multi1, &QAction::triggered, this,
            [this] { shell_.OpenMultiFlash(shell::MultiFlashKind::MultiFlash); });
    connect(multi2, &QAction::triggered, this,
            [this] { shell_.OpenMultiFlash(shell::MultiFlashKind::MultiFlash2); });
    QAction* own = kind_ == 2 ? multi2 : multi1;
    own->setVisible(false);
    own->setEnabled(false);
    mode->addSeparator();
    QAction* exit = mode->addAction("E&xit");
    exit->setStatusTip("Exit program.");
    connect(exit, &QAction::triggered, this, [this] {
        QWidget* top = window();
        (top != this ? top : this)->close();
    });
    connect(mode, &QMenu::aboutToShow, this,
            [this] { openTerminal_->setVisible(shell_.FactoryMode()); });
    openTerminal_->setVisible(shell_.FactoryMode());
    layout->setMenuBar(menuBar);

    auto* grid = new QGridLayout;
    for (int i = 0; i < 4; ++i) {
        auto n = static_cast<size_t>(i);
        QString number = QString::number(i + 1);
        auto* g = new QGroupBox("Flash channel " + number, this);
        g->setObjectName("Flash_channel" + number);
        groups_[n] = g;
        auto* gl = new QGridLayout(g);
        auto* initLabel = new QLabel("Initialize", g);
        loader_[n] = new QProgressBar(g);
        loader_[n]->setObjectName("loader" + number);
        SetHint(loader_[n], "Initialize|Progress of initialize", true);
        auto* progLabel = new QLabel("Loading program file", g);
        softa_[n] = new QProgressBar(g);
        softa_[n]->setObjectName("softa" + number);
        SetHint(softa_[n], "Programming|Progress of programming.", true);
        kayta_[n] = new QCheckBox("ENABLED", g);
        kayta_[n]->setObjectName("kayta" + number);
        std::string hint =
            "Port " + std::to_string(i + 1) + "|Enable port " + std::to_string(i + 1);
        SetHint(kayta_[n], hint.c_str());
        kayta_[n]->setAccessibleName("ENABLED " + number);
        portti_id_[n] = new QComboBox(g);
        portti_id_[n]->setObjectName("portti_id" + number);
        for (int p = 1; p <= 16; ++p) portti_id_[n]->addItem(QString("COM%1").arg(p));
        SetHint(portti_id_[n], "Serial port|Select base serial port.");
        portti_id_[n]->setAccessibleName("Serial port " + number);
        gl->addWidget(initLabel, 0, 0);
        gl->addWidget(loader_[n], 0, 1, 1, 2);
        gl->addWidget(progLabel, 1, 0);
        gl->addWidget(softa_[n], 1, 1, 1, 2);
        gl->addWidget(kayta_[n], 2, 0);
        gl->addWidget(portti_id_[n], 2, 1);
        grid->addWidget(g, i / 2, i % 2);
    }
    layout->addLayout(grid);

    auto box = [this](const char* name, const char* text, const char* hint) {
        auto* b = new QCheckBox(text, this);
        b->setObjectName(name);
        if (hint) SetHint(b, hint);
        return b;
    };
    Update = box("Update", "&Update",
                 "Update. Don't need to open modem device|Update software. Don't need to turn 3 "
                 "switches.");
    SpeedSelection = box("SpeedSelection", "115200",
                         "Speed selection|If this is checked loading speed is 115200 baud else "
                         "38400 baud.");
    SpeedSelection->setChecked(true);
    h8_3069 = box("h8_3069", "H8/3069", nullptr);
    veryslow = box("veryslow", "9600",
                   "Speed selection|If this is checked loading speed is 9600 baud else 38400 "
                   "baud.");
    OEM_flash = box("OEM_flash", "OEM flash", nullptr);
    OEM_flash->setEnabled(false);
    HQ7Xnms = box("HQ7Xnms", "Q7X nms", nullptr);
    veryslow->setVisible(false);
    connect(h8_3069, &QCheckBox::clicked, this, [this] { h8_3069Click(); });

    freq_24 = new QRadioButton("24.576MHz", this);
    freq_24->setObjectName("freq_24");
    freq_33 = new QRadioButton("33.000MHz", this);
    freq_33->setObjectName("freq_33");
    freq_var = new QRadioButton(this);
    freq_var->setObjectName("freq_var");
    freq_var->setAccessibleName("Other crystal");
    kidetaajuus = new QSpinBox(this);
    kidetaajuus->setObjectName("kidetaajuus");
    kidetaajuus->setRange(24576000, 80000000);
    kidetaajuus->setSingleStep(1000);
    kidetaajuus->setValue(24576000);
    kidetaajuus->setAccessibleName("Crystal frequency");

    auto* options = new QGridLayout;
    options->addWidget(Update, 0, 0);
    options->addWidget(SpeedSelection, 0, 1);
    options->addWidget(h8_3069, 0, 2);
    options->addWidget(veryslow, 0, 3);
    options->addWidget(OEM_flash, 1, 0);
    options->addWidget(HQ7Xnms, 1, 1);
    options->addWidget(freq_24, 2, 0);
    options->addWidget(freq_33, 2, 1);
    options->addWidget(freq_var, 2, 2);
    options->addWidget(kidetaajuus, 2, 3);
    layout->addLayout(options);

    const FlashButtons buttons = AddFlashButtons(this, layout);
    Luetiedosto = buttons.open;
    Flash_tiedosto = buttons.flash;
    peruuta = buttons.cancel;
    connect(Luetiedosto, &QPushButton::clicked, this, [this] { LuetiedostoClick(); });
    connect(Flash_tiedosto, &QPushButton::clicked, this, [this] { Flash_tiedostoClick(); });
    connect(peruuta, &QPushButton::clicked, this, [this] {
        peruuta->setEnabled(false);
        CloseWindow(this);
    });

    state_ = new QLabel(this);
    state_->setObjectName("state");
    layout->addWidget(state_);

    // The bars follow the engines' progress counters; the lines never wait for the screen.
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, [this] { ShowProgress(); });

    pakko = new QTimer(this);
    pakko->setObjectName("pakko");
    pakko->setInterval(1000);
    pakko->setSingleShot(false);
    connect(pakko, &QTimer::timeout, this, [this] {
        pakko->stop();
        forced_ = true;
        CloseWindow(this);
    });
    setFixedSize(sizeHint());
}

void TCMultiFlashDlg::ReadSettings() {
    platform::IniFile ini(platform::SettingsPath());
    MultiFlashSettings s = ReadMultiFlashSettings(ini, kind_);
    for (size_t i = 0; i < 4; ++i) {
        portti_id_[i]->setCurrentIndex(s.portIndex[i]);
        kayta_[i]->setChecked(s.enabled[i]);
    }
    startFolder_ = QString::fromStdString(StartFolderFor(s.directory));
    std::string file = SettingsFile(s);
    if (!file.empty()) {
        fileName_ = QString::fromStdString(file);
        setWindowTitle(fileName_);
        Flash_tiedosto->setEnabled(true);
        HQ7Xnms->setChecked(IsGccRecordFile(file));
    }
    filterIndex_ = s.type;
    h8_3069->setChecked(s.h3069);
    if (s.h3069) {
        SpeedSelection->setChecked(false);
        SpeedSelection->setEnabled(false);
        if (!shell_.DsrOption()) {
            OEM_flash->setEnabled(true);
            veryslow->setVisible(true);
        }
    }
    freq_24->setChecked(s.freq24);
    freq_33->setChecked(s.freq33);
    freq_var->setChecked(s.freqVar);
    kidetaajuus->setValue(s.xtal);
}

MultiFlashSettings TCMultiFlashDlg::CurrentSettings() const {
    MultiFlashSettings s;
    for (size_t i = 0; i < 4; ++i) {
        s.portIndex[i] = portti_id_[i]->currentIndex();
        s.enabled[i] = kayta_[i]->isChecked();
    }
    std::string path = fileName_.toStdString();
    s.directory = FolderOf(path);
    s.filename = NameOf(path);
    s.type = filterIndex_;
    s.h3069 = h8_3069->isChecked();
    s.freq24 = freq_24->isChecked();
    s.freq33 = freq_33->isChecked();
    s.freqVar = freq_var->isChecked();
    s.xtal = kidetaajuus->value();
    return s;
}

MultiFlashRequest TCMultiFlashDlg::CurrentRequest() const {
    MultiFlashRequest r;
    r.path = fileName_.toStdString();
    for (size_t i = 0; i < 4; ++i) {
        r.enabled[i] = kayta_[i]->isChecked();
        r.portIndex[i] = portti_id_[i]->currentIndex();
    }
    r.update = Update->isChecked();
    r.speed115200 = SpeedSelection->isChecked();
    r.h3069 = h8_3069->isChecked();
    r.veryslow = veryslow->isChecked();
    r.oem = OEM_flash->isChecked();
    r.nms = HQ7Xnms->isChecked();
    r.crystal = freq_33->isChecked()    ? kCrystal33
                : freq_var->isChecked() ? static_cast<uint32_t>(kidetaajuus->value())
                                        : kCrystal24;
    r.boardCheck = shell_.DsrOption();
    return r;
}

void TCMultiFlashDlg::h8_3069Click() {
    bool dsr = shell_.DsrOption();
    if (h8_3069->isChecked()) {
        SpeedSelection->setChecked(false);
        SpeedSelection->setEnabled(false);
        if (!dsr) {
            OEM_flash->setEnabled(true);
            veryslow->setVisible(true);
        }
    } else {
        if (!dsr) SpeedSelection->setEnabled(true);
        veryslow->setChecked(false);
        veryslow->setVisible(false);
        OEM_flash->setEnabled(false);
        OEM_flash->setChecked(false);
    }
}

void TCMultiFlashDlg::LuetiedostoClick() {
    QStringList filters = QString(kFilter).split(";;");
    QString selected = filters.value(std::max(filterIndex_, 1) - 1);
    QString path =
        QFileDialog::getOpenFileName(this, "Open file to flash", startFolder_, kFilter, &selected);
    if (!path.isEmpty()) ChooseFile(path, static_cast<int>(filters.indexOf(selected)) + 1);
}

void TCMultiFlashDlg::ChooseFile(const QString& path, int filterIndex) {
    fileName_ = path;
    filterIndex_ = filterIndex;
    Flash_tiedosto->setEnabled(true);
    startFolder_ = QString::fromStdString(FolderOf(path.toStdString()));
    setWindowTitle(path);
    HQ7Xnms->setChecked(IsGccRecordFile(path.toStdString()));
}

void TCMultiFlashDlg::PaintGroup(int channel, bool red) {
    auto n = static_cast<size_t>(channel);
    red_[n] = red;
    groups_[n]->setStyleSheet(red ? "QGroupBox { background-color: red; }" : QString());
}

void TCMultiFlashDlg::Flash_tiedostoClick() {
    platform::Prompter& prompter = shell_.Prompter();
    MultiFlashRequest r = CurrentRequest();
    if (std::none_of(r.enabled.begin(), r.enabled.end(), [](bool e) { return e; })) {
        prompter.Message(kOnePortMustBeEnabled);
        return;
    }
    for (int i = 0; i < 4; ++i) PaintGroup(i, false);
    sound_.Stop();
    if (!ChannelsOnDistinctPorts(r.enabled, r.portIndex)) {
        prompter.Message(kPortsMustDiffer);
        return;
    }
    if (!Exists(fileName_)) {
        prompter.Message(FileMissingText(r.path));
        return;
    }
    platform::IniFile ini(platform::SettingsPath());
    if (!WriteMultiFlashSettings(ini, kind_, CurrentSettings()))
        prompter.Message(platform::kIniWriteFailed);
    // The whole file is read and checked before any port is taken from the terminals.
    if (!job_.Load(r, prompter)) return;
    for (size_t i = 0; i < 4; ++i)
        if (r.enabled[i] && r.portIndex[i] >= 0) shell_.ReleasePort(r.portIndex[i]);
    Luetiedosto->setEnabled(false);
    Flash_tiedosto->setEnabled(false);
    interrupted_ = false;
    job_.Configure(r, channels_);
    for (int i = 0; i < 4; ++i) {
        auto n = static_cast<size_t>(i);
        FlashChannel& c = channels_.Channel(i);
        loader_[n]->setMaximum(r.h3069 ? c.h3069.LoaderSteps() : c.h8.LoaderSteps());
        softa_[n]->setMaximum(static_cast<int>(std::max<uint32_t>(job_.Size(), 1)));
        loader_[n]->setValue(0);
        softa_[n]->setValue(0);
        observers_[n]->Reset();
    }
    // The terminals close their ports first.
    QTimer::singleShot(50, this, [this] { StartChannels(); });
}

void TCMultiFlashDlg::StartChannels() {
    for (int i = 0; i < 4; ++i) {
        FlashChannel& c = channels_.Channel(i);
        c.h8.loaderProgress.store(0);
        c.h8.programProgress.store(0);
        c.h3069.loaderProgress.store(0);
        c.h3069.programProgress.store(0);
    }
    progressTimer_->start();
    channels_.Start(endObserver_.get());
}

void TCMultiFlashDlg::ShowProgress() {
    for (int i = 0; i < 4; ++i) {
        auto n = static_cast<size_t>(i);
        const FlashChannel& c = channels_.Channel(i);
        if (!c.Running()) continue;
        bool h3069 = channels_.h3069Active;
        int loader = h3069 ? c.h3069.loaderProgress.load() : c.h8.loaderProgress.load();
        int program = h3069 ? c.h3069.programProgress.load() : c.h8.programProgress.load();
        loader_[n]->setValue(std::min(loader, loader_[n]->maximum()));
        softa_[n]->setValue(std::min(program, softa_[n]->maximum()));
    }
}

void TCMultiFlashDlg::ChannelEnded(int channel) {
    std::optional<FlashSummary> summary = channels_.ChannelEnded(channel);
    if (!summary) {
        // A channel whose thread never started never reports: an interrupt ends the window
        // once the others have ended.
        if (interrupted_ && !channels_.AnyRunning() && !pakko->isActive()) pakko->start();
        return;
    }
    progressTimer_->stop();
    for (int i = 0; i < 4; ++i) PaintGroup(i, summary->red[static_cast<size_t>(i)]);
    lastSummary_ = summary->text;
    for (int i = 0; i < 4; ++i) {
        loader_[static_cast<size_t>(i)]->setValue(0);
        softa_[static_cast<size_t>(i)]->setValue(0);
    }
    Luetiedosto->setEnabled(true);
    Flash_tiedosto->setEnabled(true);
    peruuta->setEnabled(true);
    state_->clear();
    std::vector<int> ports = summary->portsToReacquire;
    // The modems' ports go back to the terminals a moment after the summary.
    QTimer::singleShot(500, this, [this, ports] {
        for (int port : ports)
            if (port >= 1) shell_.ReacquirePort(port - 1);
    });
    if (remote_) {
        if (summary->anyFailed) shell_.Prompter().Message(summary->text);
        emit flashingFinished(summary->anyFailed);
        Finish(summary->anyFailed ? 1 : 0);
        return;
    }
    sound_.Play(ResultSoundPath(summary->anyFailed));
    shell_.Prompter().Message(summary->text, "Information", platform::Icon::Information);
    emit flashingFinished(summary->anyFailed);
    if (interrupted_) pakko->start();
}

void TCMultiFlashDlg::Finish(int exitCode) {
    remote_ = false;
    // Queued, so whoever ends the program does so after this handler has returned.
    QMetaObject::invokeMethod(
        this, [this, exitCode] { emit remoteFinished(exitCode); }, Qt::QueuedConnection);
}

void TCMultiFlashDlg::RemoteStart(int port, int mask, const QString& file, int update) {
    fileName_ = file;
    if (!Exists(file)) {
        shell_.Prompter().Message(kRemoteFileMissing + file.toStdString(), "Warning",
                                  platform::Icon::Warning);
        Finish(1);
        return;
    }
    remote_ = true;
    setWindowTitle(file);
    if (update != 0) Update->setChecked(true);
    portti_id_[0]->setCurrentIndex(port - 1);
    for (int i = 0; i < 4; ++i) kayta_[static_cast<size_t>(i)]->setChecked((mask >> i) & 1);
    Flash_tiedostoClick();
}

void TCMultiFlashDlg::closeEvent(QCloseEvent* event) {
    if (forced_ || Luetiedosto->isEnabled()) {
        sound_.Stop();
        event->accept();
        return;
    }
    if (interrupted_) {  // already asked; the runs end at their next abort point
        event->ignore();
        return;
    }
    platform::Answer a =
        shell_.Prompter().Ask({kInterruptQuestion, "Warning", platform::Icon::Warning,
                               platform::Buttons::YesNoCancel, platform::Answer::No});
    if (a != platform::Answer::Yes) {
        event->ignore();
        return;
    }
    interrupted_ = true;
    channels_.RequestInterrupt();
    if (!channels_.AnyRunning()) {
        forced_ = true;
        sound_.Stop();
        event->accept();
        return;
    }
    // Each run reports "User interrupted flashing!" through its end; after the summary the
    // force-close timer ends the window. Until then the window stays responsive.
    state_->setText("Stopping the flashing...");
    event->ignore();
}

void TCMultiFlashDlg::SetActive(bool active) {
    using shell::ToolButton;
    if (active && !programLock_)
        programLock_ = shell_.LockToolButtons({ToolButton::Program});
    else if (!active)
        programLock_.reset();
}

bool TCMultiFlashDlg::event(QEvent* e) {
    switch (e->type()) {
        case QEvent::WindowActivate:
            SetActive(true);
            break;
        case QEvent::WindowDeactivate:
            SetActive(false);
            break;
        case QEvent::ParentChange:
            // Inside the main window the sub-window's activation is what counts.
            if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
                connect(sub, &QMdiSubWindow::windowStateChanged, this,
                        [this](Qt::WindowStates, Qt::WindowStates now) {
                            SetActive(now.testFlag(Qt::WindowActive));
                        });
            break;
        default:
            break;
    }
    return QWidget::event(e);
}

}  // namespace kelmor::flash::ui
