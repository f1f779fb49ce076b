#include "terminal/ui/transmitwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/inifile.h"
#include "platform/programdir.h"
#include "platform/prompter.h"
#include "shell/shellservices.h"
#include "terminal/terminalcore.h"
#include "terminal/ui/scriptcolour.h"

namespace kelmor::terminal {

namespace {
constexpr const char* kNoFileCaption = "No file selected. Click to select.";
constexpr const char* kCancelHint = "Cancel|Exit transmit window.";
constexpr const char* kCancelRepeatHint = "Cancel repeat | Stop continous sending.";
constexpr const char* kExitHint = "Exit|Exit transmit window.";
}  // namespace

TLahetys::TLahetys(TransmitTarget& terminal, shell::ShellServices& services,
                   const QString& terminalCaption, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), services_(services) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("Lahetys");
    setWindowTitle(QString::fromStdString(TransmitCaption(terminalCaption.toStdString())));
    const QString point = QLocale().decimalPoint();
    separator_ = point == "." ? '.' : ',';

    sender_ = std::make_unique<TransmitSender>(terminal, services_.Prompter());
    sender_->request = [this] { return Request(); };
    sender_->onActiveChanged = [this](bool active) { ActiveChanged(active); };
    sender_->onRepeatArmed = [this] { SetHint(cancel_, kCancelRepeatHint); };

    auto* outer = new QVBoxLayout(this);
    menuBar_ = new QMenuBar(this);
    outer->setMenuBar(menuBar_);

    // Data from, and the file.
    auto* top = new QHBoxLayout;
    auto* source = new QGroupBox("Data from", this);
    SetHint(source, "Text/File|Send data from text window or file.");
    auto* sourceLayout = new QVBoxLayout(source);
    fromFile_ = new QRadioButton("&File", source);
    fromText_ = new QRadioButton("&Text", source);
    fromText_->setChecked(true);
    sourceLayout->addWidget(fromFile_);
    sourceLayout->addWidget(fromText_);
    top->addWidget(source);
    auto* fileColumn = new QVBoxLayout;
    filePanel_ = new QPushButton(kNoFileCaption, this);
    filePanel_->setObjectName("FilePanel");
    filePanel_->setFlat(true);
    filePanel_->setMinimumWidth(300);
    browse_ = new QPushButton("&Browse...", this);
    fileColumn->addWidget(filePanel_);
    fileColumn->addWidget(browse_, 0, Qt::AlignLeft);
    top->addLayout(fileColumn, 1);
    outer->addLayout(top);
    connect(filePanel_, &QPushButton::clicked, this, [this] { ChooseFile(); });
    connect(browse_, &QPushButton::clicked, this, [this] { ChooseFile(); });

    // Options and the buttons.
    auto* middle = new QHBoxLayout;
    auto* options = new QGroupBox("Options", this);
    auto* optionsLayout = new QGridLayout(options);
    counter_ = new QCheckBox("&Counter", options);
    SetHint(counter_, "Counter|Counter adds index to every tranmited data.");
    continuous_ = new QCheckBox("C&ontinuous", options);
    SetHint(continuous_, "Repeat|Repeat sending after given delay.");
    auto* delayLabel = new QLabel("&Delay (s):", options);
    delay_ = new QLineEdit(separator_ == '.' ? "0.2" : "0,2", options);
    delay_->setObjectName("Delay");
    delay_->setMaximumWidth(70);
    SetHint(delay_, "Set delay between transmitted packets (end-> next start)");
    delayLabel->setBuddy(delay_);
    up_ = new QToolButton(options);
    up_->setArrowType(Qt::UpArrow);
    up_->setAccessibleName("Delay up");
    down_ = new QToolButton(options);
    down_->setArrowType(Qt::DownArrow);
    down_->setAccessibleName("Delay down");
    optionsLayout->addWidget(counter_, 0, 0, 1, 2);
    optionsLayout->addWidget(continuous_, 1, 0, 1, 2);
    optionsLayout->addWidget(delayLabel, 2, 0);
    optionsLayout->addWidget(delay_, 2, 1);
    auto* spin = new QVBoxLayout;
    spin->setSpacing(0);
    spin->addWidget(up_);
    spin->addWidget(down_);
    optionsLayout->addLayout(spin, 2, 2);
    middle->addWidget(options);
    auto* buttons = new QVBoxLayout;
    send_ = new QPushButton("&Send", this);
    SetHint(send_, "Send|Start sending data.");
    cancel_ = new QPushButton("Cancel", this);
    SetHint(cancel_, kCancelHint);
    buttons->addWidget(send_);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    middle->addLayout(buttons);
    middle->addStretch();
    outer->addLayout(middle);
    connect(send_, &QPushButton::clicked, this, [this] { SendClick(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { CancelClick(); });
    connect(up_, &QToolButton::clicked, this, [this] { Spin(true); });
    connect(down_, &QToolButton::clicked, this, [this] { Spin(false); });
    connect(delay_, &QLineEdit::textEdited, this, [this] { delayChanged_ = true; });
    connect(delay_, &QLineEdit::editingFinished, this, [this] {
        if (delayChanged_) DelayEntered();
    });
    delay_->installEventFilter(this);

    // The text box.
    auto* textGroup = new QGroupBox("Text box", this);
    auto* textLayout = new QVBoxLayout(textGroup);
    text_ = new QTextEdit(textGroup);
    text_->setObjectName("TextBox");
    text_->setAccessibleName("Text box");
    SetupScriptBox(text_);
    text_->setMinimumSize(440, 120);
    SetHint(text_, "Write text to transmit.");
    text_->installEventFilter(this);
    textLayout->addWidget(text_);
    auto* checks = new QHBoxLayout;
    crLf_ = new QCheckBox("&Put CR/LF to end", textGroup);
    SetHint(crLf_, "Select to add automaticly CR/LF to end of transmitted packet.");
    mixed_ = new QCheckBox("&Mixed text", textGroup);
    SetHint(mixed_, "Allowes hexadecimal values. Hexa values are shown as blue text.");
    crc_ = new QCheckBox("CRC", textGroup);
    crc_->setVisible(services_.FactoryMode());
    crc_->setChecked(false);
    checks->addWidget(crLf_);
    checks->addWidget(mixed_);
    checks->addWidget(crc_);
    checks->addStretch();
    textLayout->addLayout(checks);
    outer->addWidget(textGroup, 1);
    connect(mixed_, &QCheckBox::toggled, this,
            [this] { RecolourMixed(text_, mixed_->isChecked()); });

    // "&Edit" and the text box's pop-up menu.
    QMenu* edit = menuBar_->addMenu("&Edit");
    auto addEdit = [this](QMenu* menu) {
        QAction* cut = menu->addAction("Cu&t", text_, &QTextEdit::cut);
        cut->setShortcut(QKeySequence("Ctrl+X"));
        QAction* copy = menu->addAction("&Copy", text_, &QTextEdit::copy);
        copy->setShortcut(QKeySequence("Ctrl+C"));
        QAction* paste = menu->addAction("&Paste", this, [this] {
            text_->paste();
            PostRecolour();
        });
        paste->setShortcut(QKeySequence("Ctrl+V"));
    };
    addEdit(edit);
    auto* popup = new QMenu(this);
    addEdit(popup);
    text_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(text_, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint& at) { popup->popup(text_->mapToGlobal(at)); });

    adjustSize();
    setFixedSize(sizeHint());
}

TLahetys::~TLahetys() {
    // The sender must not outlive the window's widgets it asks.
    sender_->request = nullptr;
    sender_->onActiveChanged = nullptr;
    sender_->onRepeatArmed = nullptr;
}

QString TLahetys::WindowName() const {
    return QString::fromStdString(TransmitWindowName(windowTitle().toStdString()));
}

TransmitRequest TLahetys::Request() const {
    TransmitRequest r;
    r.fromFile = fromFile_->isChecked();
    r.fileSelected = fileSelected_;
    r.filePath = filePath_.toStdString();
    r.text = BoxBytes(text_);
    r.options.counter = counter_->isChecked();
    r.options.mixed = mixed_->isChecked();
    r.options.crc = crc_->isChecked();
    r.options.crLf = crLf_->isChecked();
    r.continuous = continuous_->isChecked();
    r.delay = delay_->text().toStdString();
    return r;
}

void TLahetys::Notice(TransmitMessage message) { sender_->Notice(message); }

void TLahetys::SendClick() { sender_->Send(true); }

void TLahetys::CancelClick() {
    if (!sender_->Cancel()) return;
    ClearTerminalFlag();
    close();
}

void TLahetys::ActiveChanged(bool active) {
    send_->setEnabled(!active);
    if (!active) SetHint(cancel_, kExitHint);
}

void TLahetys::ClearTerminalFlag() {
    if (onTransmitWindowClosed) onTransmitWindowClosed();
}

void TLahetys::ChooseFile() {
    if (!send_->isEnabled()) {
        services_.Prompter().Message(kNoFileChangeWhileSending);
        return;
    }
    const QString path =
        fileChooser ? fileChooser()
                    : QFileDialog::getOpenFileName(this, "Open file to transmit.",
                                                   QString::fromStdString(platform::ProgramDir()),
                                                   "kaikki (*)");
    if (path.isEmpty()) return;
    filePath_ = path;
    fileSelected_ = true;
    filePanel_->setText(path);
}

void TLahetys::DelayEntered() {
    delay_->setText(
        QString::fromStdString(NormaliseDelay(delay_->text().toStdString(), separator_)));
    delayChanged_ = false;
}

void TLahetys::Spin(bool up) {
    delay_->setText(
        QString::fromStdString(SpinDelay(delay_->text().toStdString(), up, separator_)));
    delayChanged_ = true;
}

void TLahetys::PostRecolour() {
    // WM_TX_RECOLOUR: after the key has changed the text.
    QMetaObject::invokeMethod(
        this, [this] { RecolourMixed(text_, mixed_->isChecked()); }, Qt::QueuedConnection);
}

bool TLahetys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == text_) {
        if (key->key() == Qt::Key_Escape) {
            CancelClick();
            return true;
        }
        PostRecolour();
    } else if (watched == delay_) {
        if (key->key() == Qt::Key_Escape) {
            CancelClick();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            DelayEntered();
            return true;
        }
        const QString t = key->text();
        if (t.size() == 1 && t[0].isPrint()) {
            const QChar c = t[0];
            if (c == '.' || c == ',') {
                delay_->insert(QString(QChar(separator_)));
                delayChanged_ = true;
                return true;
            }
            if (!c.isDigit()) return true;  // dropped
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TLahetys::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (firstActivation_) {
        firstActivation_ = false;
        FirstActivation();
    }
}

void TLahetys::FirstActivation() {
    const std::string name = WindowName().toStdString();
    TransmitText text = LoadTransmitText(TransmitTextPath(platform::ProgramDir(), name));
    if (text.found) {
        SetBoxBytes(text_, text.text);
        if (text.cut)
            services_.Prompter().Message(
                "Only the first part of " + TransmitTextPath(platform::ProgramDir(), name) +
                " was loaded: the text box takes up to " + std::to_string(kTransmitTextCap) +
                " bytes of text and stops at a NUL byte.");
    }
    TransmitFlags flags = ReadTransmitFlags(platform::SettingsPath(), name);
    crLf_->setChecked(flags.crLf);
    mixed_->setChecked(flags.mixed);
    // The CRC box is a factory option: outside factory mode it is hidden and must not add bytes
    // to the packets; the stored choice is kept for the next factory session.
    storedCrc_ = flags.crc;
    crc_->setChecked(flags.crc && services_.FactoryMode());
    RecolourMixed(text_, mixed_->isChecked());
}

void TLahetys::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous()) return;  // minimised: still the terminal's transmit window
    ClearTerminalFlag();
    if (sender_->Active()) sender_->StopContinuous();
}

void TLahetys::SaveState() {
    if (saved_) return;
    saved_ = true;
    const std::string name = WindowName().toStdString();
    const bool textOk =
        SaveTransmitText(TransmitTextPath(platform::ProgramDir(), name), BoxBytes(text_));
    const bool flagsOk =
        WriteTransmitFlags(platform::SettingsPath(), name,
                           {crLf_->isChecked(), mixed_->isChecked(),
                            services_.FactoryMode() ? crc_->isChecked() : storedCrc_});
    if (!textOk || !flagsOk) services_.Prompter().Message(platform::kIniWriteFailed);
}

void TLahetys::closeEvent(QCloseEvent* event) {
    if (sender_->Active()) sender_->StopContinuous();
    SaveState();
    ClearTerminalFlag();
    QWidget::closeEvent(event);
}

}  // namespace kelmor::terminal
