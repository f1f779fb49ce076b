#include "flash/ui/singleflash.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <system_error>

#include "platform/programdir.h"

namespace kelmor::flash::ui {

namespace {
constexpr const char* kCaption = "Flash Update";
}

TCSingleFlashDlg::TCSingleFlashDlg(shell::ShellServices& shell, QWidget* parent)
    : QWidget(parent),
      shell_(shell),
      runs_(std::make_shared<RunState>(
          this, shell.Prompter(),
          QueuedObserver::Handlers{
              {}, [this] { peruuta->setEnabled(false); }, [this](int) { ThreadEnded(); }})) {
    h8_.link.prompter = &h8Prompter_;
    h3069_.link.prompter = &h3069Prompter_;
    h8_.observer = &observer_;
    h3069_.observer = &observer_;
    BuildWindow();
    // No terminal, no modem programming and no second flashing while this window is open.
    using shell::ToolButton;
    buttonLock_ = shell_.LockToolButtons({ToolButton::Open, ToolButton::Drawing,
                                          ToolButton::SingleModem, ToolButton::Flash,
                                          ToolButton::MultiFlash, ToolButton::MultiFlash2});
    ReadSettings();
}

TCSingleFlashDlg::~TCSingleFlashDlg() {
    // A run still going (the window is being torn down with the program) is asked to stop and
    // ends on its own.
    h8_.abort.store(true);
    h3069_.abort.store(true);
    h8Prompter_.Close();
    h3069Prompter_.Close();
    std::shared_ptr<RunState> runs = runs_;
    KeepUntilEnded(std::move(runs_), [runs] {
        return (runs->thread && !runs->thread->Ended()) ||
               (runs->thread3069 && !runs->thread3069->Ended());
    });
}

void TCSingleFlashDlg::BuildWindow() {
    setObjectName("TCSingleFlashDlg");
    setWindowTitle(kCaption);
    auto* layout = new QVBoxLayout(this);

    auto* menuBar = new QMenuBar(this);
    QMenu* mode = menuBar->addMenu("&Mode");
    mode->setStatusTip("Close Flash, Exit.");
    QAction* closeFlash = mode->addAction("&Close flash");
    closeFlash->setStatusTip("Close flash window.");
    connect(closeFlash, &QAction::triggered, this, [this] { CloseWindow(this); });
    mode->addSeparator();
    QAction* exit = mode->addAction("E&xit");
    exit->setStatusTip("Exit program.");
    connect(exit, &QAction::triggered, this, [this] {
        QWidget* top = window();
        (top != this ? top : this)->close();
    });
    layout->setMenuBar(menuBar);

    auto* initGroup = new QGroupBox("Initialize", this);
    init_bar = new QProgressBar(initGroup);
    init_bar->setObjectName("init_bar");
    SetHint(init_bar, "Initialize|Progress of initialize.", true);
    (new QVBoxLayout(initGroup))->addWidget(init_bar);
    layout->addWidget(initGroup);

    auto* progGroup = new QGroupBox("Loading program file", this);
    prog_bar = new QProgressBar(progGroup);
    prog_bar->setObjectName("prog_bar");
    SetHint(prog_bar, "Programming|Progress of programming.", true);
    (new QVBoxLayout(progGroup))->addWidget(prog_bar);
    layout->addWidget(progGroup);

    auto* keyGroup = new QGroupBox("Key", this);
    auto* keyLayout = new QHBoxLayout(keyGroup);
    for (int i = 0; i < 4; ++i) {
        key_id[i] = new QLineEdit("00000000", keyGroup);
        key_id[i]->setObjectName(QString("key_id%1").arg(i + 1));
        SetHint(key_id[i], "Keycode|Input keycode to these fields.");
        key_id[i]->setAccessibleName(QString("Keycode %1").arg(i + 1));
        keyLayout->addWidget(key_id[i]);
    }
    layout->addWidget(keyGroup);

    auto* portRow = new QHBoxLayout;
    auto* portLabel = new QLabel("COM &port", this);
    portti_id = new QComboBox(this);
    portti_id->setObjectName("portti_id");
    for (int n = 1; n <= 16; ++n) portti_id->addItem(QString("COM%1").arg(n));
    portLabel->setBuddy(portti_id);
    portRow->addWidget(portLabel);
    portRow->addWidget(portti_id);
    layout->addLayout(portRow);

    auto box = [this](const char* name, const char* text) {
        auto* b = new QCheckBox(text, this);
        b->setObjectName(name);
        return b;
    };
    h8_3069 = box("h8_3069", "h8_3069");
    paivita = box("paivita", "&Update");
    paivita->setChecked(true);
    SetHint(paivita, "Update|Update new program version.");
    veryslow = box("veryslow", "9600");
    SetHint(veryslow,
            "Speed selection|If this is checked loading speed is 9600 baud else 38400 baud.");
    OEM_flash1 = box("OEM_flash1", "OEM flash");
    HQ7Xnms = box("HQ7Xnms", "Q7X NMS");
    // The file type sets these three.
    h8_3069->setEnabled(false);
    OEM_flash1->setEnabled(false);
    HQ7Xnms->setEnabled(false);
    OEM_flash1->setVisible(false);
    HQ7Xnms->setVisible(false);
    veryslow->setVisible(false);
    connect(h8_3069, &QCheckBox::clicked, this, [this] { h8_3069Click(); });
    auto* boxes = new QGridLayout;
    boxes->addWidget(h8_3069, 0, 0);
    boxes->addWidget(paivita, 0, 1);
    boxes->addWidget(veryslow, 0, 2);
    boxes->addWidget(OEM_flash1, 1, 0);
    boxes->addWidget(HQ7Xnms, 1, 1);
    layout->addLayout(boxes);

    const FlashButtons buttons = AddFlashButtons(this, layout);
    Luetiedosto = buttons.open;
    Flash_tiedosto = buttons.flash;
    peruuta = buttons.cancel;
    connect(Luetiedosto, &QPushButton::clicked, this, [this] { LuetiedostoClick(); });
    connect(Flash_tiedosto, &QPushButton::clicked, this, [this] { Flash_tiedostoClick(); });
    connect(peruuta, &QPushButton::clicked, this, [this] { CloseWindow(this); });

    state_ = new QLabel(this);
    state_->setObjectName("state");
    layout->addWidget(state_);
    setFixedSize(sizeHint());

    // The bars follow the engine's progress counters; the line never waits for the screen.
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, [this] { ShowProgress(); });
}

void TCSingleFlashDlg::ReadSettings() {
    platform::IniFile ini(platform::SettingsPath());
    SingleFlashSettings s = ReadSingleFlashSettings(ini);
    portti_id->setCurrentIndex(s.portIndex);
    startFolder_ = QString::fromStdString(StartFolderFor(s.directory));
}

void TCSingleFlashDlg::LuetiedostoClick() {
    QString path = QFileDialog::getOpenFileName(
        this, "Open file to flash", startFolder_,
        "Zorva Flash Files (*.sff/*.sf2/*.sf3*.sfo) (*.sff *.sf2 *.sf3 *.sfo)");
    if (!path.isEmpty()) ChooseFile(path);
}

void TCSingleFlashDlg::ChooseFile(const QString& path) {
    fileName_ = path;
    Flash_tiedosto->setEnabled(true);
    setWindowTitle(path);
    FileBoxes b = BoxesForFile(path.toStdString());
    HQ7Xnms->setChecked(b.nms);
    HQ7Xnms->setVisible(b.nmsShown);
    h8_3069->setChecked(b.h3069);
    OEM_flash1->setChecked(b.oem);
    OEM_flash1->setVisible(b.oemShown);
    h8_3069Click();
}

void TCSingleFlashDlg::h8_3069Click() {
    if (h8_3069->isChecked()) {
        veryslow->setVisible(true);
    } else {
        veryslow->setChecked(false);
        veryslow->setVisible(false);
    }
}

void TCSingleFlashDlg::Flash_tiedostoClick() {
    SingleFlashRequest r;
    r.path = fileName_.toStdString();
    r.portIndex = portti_id->currentIndex();
    r.update = paivita->isChecked();
    r.h3069 = h8_3069->isChecked();
    r.veryslow = veryslow->isChecked();
    r.oem = OEM_flash1->isChecked();
    r.nms = HQ7Xnms->isChecked();
    for (int i = 0; i < 4; ++i)
        r.keyFields[static_cast<size_t>(i)] = key_id[i]->text().toStdString();
    auto outcome = job_.Prepare(r, platform::SettingsPath(), h8_, h3069_, shell_.Prompter());
    if (outcome == SingleFlashJob::Outcome::Refused) return;
    Luetiedosto->setEnabled(false);
    Flash_tiedosto->setEnabled(false);
    if (outcome == SingleFlashJob::Outcome::RefusedDisabled) return;

    init_bar->setMaximum(job_.LoaderMaximum());
    prog_bar->setMaximum(std::max(job_.ProgramMaximum(), 1));
    init_bar->setValue(0);
    prog_bar->setValue(0);
    observer_.Reset();
    h8_.loaderProgress.store(0);
    h8_.programProgress.store(0);
    h3069_.loaderProgress.store(0);
    h3069_.programProgress.store(0);
    progressTimer_->start();
    stopping_ = false;
    try {
        if (r.h3069) {
            thread3069_ = std::make_unique<TFlash_event_3069>(&observer_, h3069_);
            thread3069_->Start();
        } else {
            thread_ = std::make_unique<TFlash_event>(&observer_, h8_);
            thread_->Start();
        }
    } catch (const std::system_error& e) {
        thread_.reset();
        thread3069_.reset();
        progressTimer_->stop();
        shell_.Prompter().Message(ThreadNotStartedText(1, e.code().value()));
        Luetiedosto->setEnabled(true);
        Flash_tiedosto->setEnabled(true);
    }
}

void TCSingleFlashDlg::ShowProgress() {
    bool h3069 = h8_3069->isChecked();
    int loader = h3069 ? h3069_.loaderProgress.load() : h8_.loaderProgress.load();
    int program = h3069 ? h3069_.programProgress.load() : h8_.programProgress.load();
    init_bar->setValue(std::min(loader, init_bar->maximum()));
    prog_bar->setValue(std::min(program, prog_bar->maximum()));
}

void TCSingleFlashDlg::ThreadEnded() {
    progressTimer_->stop();
    Luetiedosto->setEnabled(true);
    Flash_tiedosto->setEnabled(true);
    peruuta->setEnabled(true);
    bool h3069 = h8_3069->isChecked();
    int code = h3069 ? h3069_.result.load() : h8_.result.load();
    std::string text = h3069 ? h3069_.ResultText(code) : CMassFlash::ResultText(code);
    // The end was the thread's last action: these joins only see it return.
    thread_.reset();
    thread3069_.reset();
    stopping_ = false;
    state_->clear();
    init_bar->setValue(0);
    prog_bar->setValue(0);
    shell_.Prompter().Message(text, "Information", platform::Icon::Information);
    emit runFinished(code);
}

void TCSingleFlashDlg::closeEvent(QCloseEvent* event) {
    if (Luetiedosto->isEnabled()) {
        event->accept();
        return;
    }
    if (stopping_) {  // already asked; the run ends at its next abort point
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
    if (h8_3069->isChecked())
        h3069_.abort.store(true);
    else
        h8_.abort.store(true);
    if (Running()) {
        // The run reports "User interrupted flashing!" through its end; the window stays.
        stopping_ = true;
        state_->setText("Stopping the flashing...");
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace kelmor::flash::ui
