#include "modemcfg/ui/tominaisuus.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/hex.h"
#include "modemcfg/definition.h"
#include "platform/ansi.h"
#include "platform/inifile.h"

namespace kelmor::modemcfg::ui {

namespace {

constexpr int kRowStep = 25;
constexpr int kEditorX = 110;
constexpr int kFirstParameterY = 120;
constexpr int kSingleViewFirstY = 40;
constexpr int kColumnGap = 45;
constexpr int kRowsPerBlock = 16;
constexpr int kDefaultMaxHeight = 700;  // without a designer to fit into
const char* kArrowHint = "Convert this value";

const char* kMultiPortText = "multi port";  // the address a multi-port node shows

QString Q(const std::string& text) { return QString::fromStdString(platform::AnsiToUtf8(text)); }
std::string S(const QString& text) { return platform::Utf8ToAnsi(text.toStdString()); }

// "short|long" hints: the short part is the tool tip, the long part the status-bar text.
void SetHint(QWidget* w, const std::string& hint) {
    QString h = Q(hint);
    int bar = h.indexOf('|');
    w->setToolTip(bar < 0 ? h : h.left(bar));
    w->setStatusTip(bar < 0 ? h : h.mid(bar + 1));
}

}  // namespace

Tominaisuus::Tominaisuus(FormHost& host, platform::Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), host_(host), prompter_(prompter) {
    setWindowTitle(kPropertiesCaption);
    setObjectName("Tominaisuus");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(false);
    content_ = new QWidget;
    scroll_->setWidget(content_);
    layout->addWidget(scroll_);
    BuildFixedControls();
    resize(310, 400);
}

Tominaisuus::~Tominaisuus() = default;

void Tominaisuus::BuildFixedControls() {
    main_.box = new QGroupBox(content_);
    main_.box->setObjectName("Bevel1");
    second_.box = new QGroupBox(content_);
    second_.box->setObjectName("Bevel2");
    second_.box->hide();

    QWidget* b = main_.box;
    nimiLabel_ = new QLabel(kNameCaption, b);
    nimi_ = new QLineEdit(b);
    nimi_->setObjectName("nimi");
    SetHint(nimi_, kNameHint);
    nimiLabel_->setBuddy(nimi_);

    no_address_ = new QCheckBox("No terminal address:", b);
    no_address_->setObjectName("no_address");
    no_address_->setLayoutDirection(Qt::RightToLeft);
    SetHint(no_address_, kNoAddressHint);
    connect(no_address_, &QCheckBox::clicked, this, [this] { NoAddressClicked(); });

    osoiteLabel_ = new QLabel(kAddressCaption, b);
    osoite_ = new QLineEdit(b);
    osoite_->setObjectName("osoite");
    osoite_->setMaxLength(8);
    osoiteLabel_->setBuddy(osoite_);
    hexLabel_ = new QLabel("(hex)", b);
    Multibtn_ = new QPushButton("...", b);
    Multibtn_->setObjectName("Multibtn");
    Multibtn_->setAccessibleName("Terminal addresses");
    MultiMemo_ = new QPlainTextEdit(content_);
    MultiMemo_->setObjectName("MultiMemo");
    MultiMemo_->setAccessibleName("Terminal addresses");
    MultiMemo_->hide();
    MultiMemo_->installEventFilter(this);
    connect(Multibtn_, &QPushButton::clicked, this, [this] {
        MultiMemo_->setVisible(!MultiMemo_->isVisible());
        if (MultiMemo_->isVisible()) {
            MultiMemo_->raise();
            MultiMemo_->setFocus();
        }
    });

    systemLabel_ = new QLabel(kModemAddressCaption, b);
    systemosoite_ = new QLineEdit(b);
    systemosoite_->setObjectName("systemosoite");
    systemosoite_->setReadOnly(true);
    systemosoite_->setMaxLength(32);
    SetHint(systemosoite_, kModemAddressHint);
    systemLabel_->setBuddy(systemosoite_);

    factory_lbl_ = new QLabel(kFactorySettingsCaption, b);
    QFont bold = factory_lbl_->font();
    bold.setBold(true);
    factory_lbl_->setFont(bold);
    factory_lbl_->hide();
    valiviiva_ = new QFrame(b);
    valiviiva_->setFrameShape(QFrame::HLine);
    valiviiva_->hide();

    Label_oldvalues_ = new QLabel(kOldValuesCaption, content_);
    QFont big = Label_oldvalues_->font();
    big.setBold(true);
    big.setPixelSize(19);
    Label_oldvalues_->setFont(big);
    Label_oldvalues_->hide();

    receivebtn_ = new QPushButton("&Receive values", content_);
    receivebtn_->setObjectName("receivebtn");
    transmitbtn_ = new QPushButton("&Transmit values", content_);
    transmitbtn_->setObjectName("transmitbtn");
    ok_ = new QPushButton("OK", content_);
    ok_->setObjectName("ok");
    ok_->setDefault(true);
    pois_ = new QPushButton("Cancel", content_);
    pois_->setObjectName("pois");
    ConvAll_ = new QPushButton("Conv all", content_);
    ConvAll_->setObjectName("ConvAll");
    ConvAll_->setProperty("tag", -1);
    ConvAll_->hide();
    connect(ok_, &QPushButton::clicked, this, [this] { Accept(false); });
    connect(pois_, &QPushButton::clicked, this, [this] { Cancel(); });
    connect(receivebtn_, &QPushButton::clicked, this, [this] { ReceiveClicked(); });
    connect(transmitbtn_, &QPushButton::clicked, this, [this] { TransmitClicked(); });
    connect(ConvAll_, &QPushButton::clicked, this, [this] { ConvertAllClicked(); });
}

QWidget* Tominaisuus::EditorAt(size_t record, bool secondColumn) const {
    const Column& c = secondColumn ? second_ : main_;
    return record < c.rows.size() ? c.rows[record].editor : nullptr;
}

std::vector<QToolButton*> Tominaisuus::ArrowButtons() const { return arrows_; }

void Tominaisuus::Discard() {
    for (Column* c : {&main_, &second_}) {
        for (QWidget* b : c->blocks) delete b;  // with its rows
        c->blocks.clear();
        c->rows.clear();
        c->column = FormColumn{};
        c->groups.clear();
    }
    for (QToolButton* a : arrows_) delete a;
    arrows_.clear();
    second_.box->hide();
    factory_lbl_->hide();
    valiviiva_->hide();
    maxWidth_ = 0;
}

bool Tominaisuus::Build(Column& column, int mode, const std::string& typeFileName) {
    const bool second = mode == 3;
    QGroupBox* box = column.box;
    // Children of a hidden box are shown with it in one go, not one by one.
    box->hide();
    box->setTitle(Q(TypeNameOf(typeFileName)));
    Label_oldvalues_->setVisible(second);

    // Fixed rows (in the main column only).
    const bool single = context_.singleView;
    for (QWidget* w :
         std::initializer_list<QWidget*>{nimiLabel_, nimi_, no_address_, osoiteLabel_, osoite_,
                                         hexLabel_, Multibtn_, systemLabel_, systemosoite_}) {
        w->setVisible(!single);
    }
    const int textWidth = QFontMetrics(osoite_->font()).horizontalAdvance("xxxxxbbbbb") + 8;
    if (!second) {
        nimiLabel_->setGeometry(10, 20, 98, 21);
        nimi_->setGeometry(kEditorX, 20, 150, 21);
        no_address_->setGeometry(10, 45, 118, 21);
        osoiteLabel_->setGeometry(10, 70, 98, 21);
        osoite_->setGeometry(kEditorX, 70, textWidth, 21);
        hexLabel_->setGeometry(kEditorX + textWidth + 4, 70, 40, 21);
        Multibtn_->setGeometry(kEditorX + textWidth + 4, 70, 24, 21);
        systemLabel_->setGeometry(10, 95, 98, 21);
        systemosoite_->setGeometry(kEditorX, 95, 150, 21);
    }
    const bool readOnlyFixed = converting_;
    nimi_->setReadOnly(readOnlyFixed);
    QPalette grey = nimi_->palette();
    grey.setColor(QPalette::Base, readOnlyFixed ? palette().color(QPalette::Window)
                                                : palette().color(QPalette::Base));
    nimi_->setPalette(grey);

    std::string error;
    Definition d = ReadDefinition(context_.folder, typeFileName);
    if (!d.Ok()) {
        prompter_.Message(d.error.rfind("cannot read", 0) == 0 ? std::string(kCheckIniFileText)
                                                               : d.error);
        d.groups.clear();
    }
    column.groups = d.groups;
    FormOptions options{context_.securityLevel, !context_.singleView, context_.factoryMode};
    column.column = BuildColumn(column.groups, options);

    int y = single ? kSingleViewFirstY : kFirstParameterY;
    const int labelX = second ? 20 : 10;
    int widest = 150;
    column.rows.resize(column.column.records.size());
    // Rows live in blocks of a few: painting a widget costs time for every sibling it has.
    QWidget* block = nullptr;
    int blockTop = 0;
    int blockRows = 0;
    auto closeBlock = [&] {
        if (block) block->resize(2000, std::max(y - blockTop, 1));
    };
    for (size_t i = 0; i < column.column.records.size(); ++i) {
        const FormRecord& rec = column.column.records[i];
        const ParameterGroup& g = rec.group;
        Row& row = column.rows[i];
        if (!second && column.column.factorySeparatorBefore == i) {
            valiviiva_->setGeometry(5, y + 2, 400, 2);
            factory_lbl_->setGeometry(labelX, y + 4, 200, 19);
            valiviiva_->show();
            factory_lbl_->show();
            y += kRowStep;
            closeBlock();
            block = nullptr;
        }
        if (!block || blockRows >= kRowsPerBlock) {
            closeBlock();
            block = new QWidget(box);
            block->move(0, y);
            blockTop = y;
            blockRows = 0;
            column.blocks.push_back(block);
        }
        if (rec.shown) ++blockRows;
        const int by = y - blockTop;
        QWidget* editor = nullptr;
        int width = 80;
        switch (g.type) {
            case 'B':
            case 'W': {
                auto* spin = new QSpinBox(block);
                spin->setRange(0, g.type == 'B' ? 255 : 65535);
                editor = spin;
                break;
            }
            case 'M': {
                auto* check = new QCheckBox(Q(g.caption), block);
                editor = check;
                break;
            }
            case 'R': {
                auto* combo = new QComboBox(block);
                int entryWidth = 0;
                QFontMetrics fm(combo->font());
                for (const std::string& c : g.choices) {
                    combo->addItem(Q(c));
                    entryWidth = std::max(entryWidth, fm.horizontalAdvance(Q(c)));
                }
                width = std::max(width, entryWidth + 16 + 24);
                editor = combo;
                break;
            }
            case 'H': {
                auto* edit = new QLineEdit(block);
                edit->setMaxLength(kHexEditorLength);
                edit->installEventFilter(this);
                editor = edit;
                break;
            }
            default: {
                auto* edit = new QLineEdit(block);
                edit->setMaxLength(kTextEditorLength);
                width = 130;
                editor = edit;
                break;
            }
        }
        editor->setObjectName(Q(g.key));
        editor->setEnabled(rec.enabled);
        SetHint(editor, g.hint);
        if (g.type == 'M') {
            editor->setGeometry(labelX, by, kEditorX - labelX + width, 21);
        } else {
            row.label = new QLabel(Q(CaptionLabel(g)), block);
            row.label->setGeometry(labelX, by, kEditorX - labelX - 2, 21);
            row.label->setBuddy(editor);
            row.label->setVisible(rec.shown);
            editor->setGeometry(kEditorX, by, width, 21);
        }
        editor->setVisible(rec.shown);
        row.editor = editor;
        row.y = y;
        widest = std::max(widest, width);
        if (rec.shown) y += kRowStep;
    }
    closeBlock();
    maxWidth_ = std::max(maxWidth_, widest);
    box->setProperty("bottom", y);
    box->show();
    return !column.groups.empty();
}

void Tominaisuus::PlaceButtons() {
    const int columnWidth = kEditorX + maxWidth_ + 15;
    const int top = 5;
    int bottom = std::max(main_.box->property("bottom").toInt(),
                          converting_ ? second_.box->property("bottom").toInt() : 0);
    main_.box->setGeometry(5, top, columnWidth, bottom + 5);
    for (Column* c : {&main_, &second_})
        for (QWidget* b : c->blocks) b->resize(columnWidth - 4, b->height());
    int width = columnWidth + 10;
    if (converting_) {
        second_.box->setGeometry(5 + columnWidth + kColumnGap, top, columnWidth, bottom + 5);
        second_.box->show();
        Label_oldvalues_->setGeometry(15, top + bottom + 8, 200, 24);
        width = 2 * columnWidth + kColumnGap + 10;
    }
    int y = top + bottom + 10;
    receivebtn_->setGeometry(10, y, 120, 25);
    transmitbtn_->setGeometry(140, y, 120, 25);
    receivebtn_->setVisible(!converting_);
    transmitbtn_->setVisible(!converting_);
    y += 30;
    ok_->setGeometry(10, y, 80, 25);
    pois_->setGeometry(100, y, 80, 25);
    ConvAll_->setGeometry(190, y, 80, 25);
    ConvAll_->setVisible(converting_);
    const int wanted = y + 25 + 24;
    content_->resize(width, wanted);
    int height = wanted + 4;
    const int limit = context_.maxHeight > 0 ? context_.maxHeight : kDefaultMaxHeight;
    if (height > limit) height = limit - 5;
    resize(width + scroll_->verticalScrollBar()->sizeHint().width() + 4, height);
}

void Tominaisuus::Open(const FormNode& node, const FormContext& context,
                       const std::string& convertType) {
    if (busy_) return;
    busy_ = true;
    node_ = node;
    const bool converting = !convertType.empty();
    const std::string typeFile = node.typeFileName;
    typeChanged_ = typeFile != builtType_;
    const bool rebuild = typeFile != builtType_ || context.securityLevel != builtLevel_ ||
                         context.singleView != builtSingleView_ || converting ||
                         second_.box->isVisible() || converting_;
    context_ = context;
    converting_ = converting;
    convertType_ = convertType;
    if (rebuild) {
        CheckIntegrity(context_.folder, typeFile, context_.factoryMode, prompter_);
        builtLevel_ = context_.securityLevel;
        builtSingleView_ = context_.singleView;
        Discard();
        Build(main_, converting ? 1 : 0, typeFile);
        if (converting) Build(second_, 3, DefinitionFileName(convertType_));
        builtType_ = typeFile;
        ++buildCount_;
        PlaceButtons();
    }
    setWindowTitle(Q(FormTitle(TypeNameOf(typeFile), node.typeVersion)));
    if (converting_) {
        const auto pairs = ConversionPairs(main_.column, second_.column, context_.securityLevel);
        for (size_t k = 0; k < pairs.size(); ++k) {
            auto* arrow = new QToolButton(content_);
            arrow->setArrowType(Qt::RightArrow);
            arrow->setAccessibleName(kArrowHint);
            arrow->setToolTip(kArrowHint);
            arrow->setProperty("tag", static_cast<int>(k));
            int y = main_.box->y() + main_.rows[pairs[k].mainRecord].y;
            arrow->setGeometry(second_.box->x() - 37, y + 3, 30, 15);
            arrow->setEnabled(pairs[k].enabled);
            arrow->show();
            connect(arrow, &QToolButton::clicked, this,
                    [this, k] { ConvertOne(static_cast<int>(k)); });
            arrows_.push_back(arrow);
        }
    }
    Fill();
    scroll_->verticalScrollBar()->setValue(0);
    show();
    raise();

    // Focus: the first parameter that can take it in single-modem view, else the name.
    if (context_.singleView) {
        QWidget* target = nullptr;
        for (size_t i = 0; i < main_.column.records.size() && !target; ++i) {
            const FormRecord& r = main_.column.records[i];
            if (r.shown && r.group.level <= context_.securityLevel) target = main_.rows[i].editor;
        }
        if (!target && !main_.column.records.empty()) {
            prompter_.Message(NoVisibleFieldText(typeFile));
        } else if (target) {
            target->setFocus();
        }
    } else {
        nimi_->setFocus();
    }
    busy_ = false;
}

void Tominaisuus::Fill() {
    const FormNode& n = *node_;
    nimi_->setText(Q(n.name));
    no_address_->setChecked(n.noAddress);
    const std::string address = n.addresses.empty() ? std::string() : n.addresses[0];
    SetAddressText(Q(n.isMulti ? std::string(kMultiPortText) : address));
    osoite_->setModified(false);
    no_address_->setEnabled(!(context_.virtualRouting && n.isMaster) && !n.isMulti && !converting_);
    Multibtn_->setVisible(n.isMulti && !context_.singleView);
    hexLabel_->setVisible(!n.isMulti && !context_.singleView);
    QString lines;
    if (n.isMulti) {
        for (const std::string& a : n.addresses) lines += Q(a) + "\n";
    }
    MultiMemo_->setPlainText(lines);
    MultiMemo_->document()->setModified(false);
    MultiMemo_->hide();
    UpdateAddressEdit();
    systemosoite_->setText(Q(core::HexWord(n.systemAddress, 4)));

    const std::string typeName = TypeNameOf(n.typeFileName);
    // What the editors show now (the user may have typed since): only changed ones are set.
    ReadEditors(main_);
    std::vector<std::string> before;
    before.reserve(main_.column.records.size());
    for (const FormRecord& r : main_.column.records) before.push_back(r.value);
    FillColumn(main_.column, n.parameters, [&] {
        return prompter_.Question(ConflictText(typeName), kConflictCaption, platform::Icon::Warning,
                                  platform::Answer::Yes);
    });
    for (size_t i = 0; i < main_.rows.size(); ++i) {
        if (main_.column.records[i].value != before[i]) SetEditorValue(main_, i);
        Paint(main_.rows[i], false);
    }
    for (size_t i = 0; i < second_.rows.size(); ++i) {
        second_.column.records[i].value = InitialEditorValue(second_.column.records[i].group.type);
        SetEditorValue(second_, i);
        Paint(second_.rows[i], false);
    }
}

void Tominaisuus::SetAddressText(const QString& text) {
    // Eight characters is a limit for typing; a stored text ("No address", "multi port") is
    // shown whole, never cut.
    osoite_->setMaxLength(std::max<int>(8, static_cast<int>(text.size())));
    osoite_->setText(text);
}

void Tominaisuus::UpdateAddressEdit() {
    const bool multi = node_ && node_->isMulti;
    const bool checked = no_address_->isChecked();
    osoite_->setReadOnly(multi || converting_ || checked);
    QPalette p = osoite_->palette();
    p.setColor(QPalette::Base, checked || converting_ ? palette().color(QPalette::Window)
                                                      : palette().color(QPalette::Base));
    osoite_->setPalette(p);
}

void Tominaisuus::SetEditorValue(Column& column, size_t i) {
    const FormRecord& r = column.column.records[i];
    QWidget* e = column.rows[i].editor;
    const int number = platform::TextToInt(r.value);
    switch (EditorKindOf(r.group.type)) {
        case EditorKind::Spin:
            static_cast<QSpinBox*>(e)->setValue(number);
            break;
        case EditorKind::Check:
            static_cast<QCheckBox*>(e)->setChecked(r.value == "1");
            break;
        case EditorKind::Choice:
            static_cast<QComboBox*>(e)->setCurrentIndex(number);
            break;
        case EditorKind::Edit:
            static_cast<QLineEdit*>(e)->setText(Q(r.value));
            break;
    }
}

void Tominaisuus::ReadEditors(Column& column) {
    for (size_t i = 0; i < column.rows.size(); ++i) {
        FormRecord& r = column.column.records[i];
        QWidget* e = column.rows[i].editor;
        switch (EditorKindOf(r.group.type)) {
            case EditorKind::Spin:
                r.value = std::to_string(static_cast<QSpinBox*>(e)->value());
                break;
            case EditorKind::Check:
                r.value = static_cast<QCheckBox*>(e)->isChecked() ? "1" : "0";
                break;
            case EditorKind::Choice:
                r.value = std::to_string(static_cast<QComboBox*>(e)->currentIndex());
                break;
            case EditorKind::Edit:
                r.value = S(static_cast<QLineEdit*>(e)->text());
                break;
        }
    }
}

void Tominaisuus::Paint(Row& row, bool red) {
    // A palette change restyles the widget: only when the mark changes.
    QWidget* editor = row.editor;
    if (!editor || row.red == red) return;
    row.red = red;
    QPalette p = editor->palette();
    QColor colour = red ? QColor(Qt::red) : palette().color(QPalette::WindowText);
    p.setColor(QPalette::Text, colour);
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::ButtonText, colour);
    editor->setPalette(p);
    editor->setProperty("marked", red);
}

void Tominaisuus::Accept(bool fromExchange) {
    if (!node_) return;
    if (!fromExchange) ok_->setFocus();
    ReadEditors(main_);
    ReadEditors(second_);
    FormResult result;
    result.fromExchange = fromExchange;
    result.name = S(nimi_->text());
    result.noAddress = no_address_->isChecked();
    result.isMulti = node_->isMulti;
    if (node_->isMulti) {
        const QStringList lines = MultiMemo_->toPlainText().split('\n');
        for (const QString& line : lines)
            if (!line.trimmed().isEmpty()) result.addresses.push_back(S(line));
        result.addressChanged = MultiMemo_->document()->isModified();
    } else {
        result.addresses = {S(osoite_->text())};
        result.addressChanged = osoite_->isModified();
    }
    result.systemAddress =
        static_cast<uint16_t>(platform::TextToInt("0x" + S(systemosoite_->text())) & 0xFFFF);
    result.clearList = typeChanged_ || converting_;
    if (converting_) {
        result.newTypeFileName = DefinitionFileName(convertType_);
        result.entries = AcceptedEntries(second_.column);
    } else {
        result.entries = AcceptedEntries(main_.column);
    }
    // The node as it is now stored (a receive that follows fills this list).
    node_->name = result.name;
    node_->noAddress = result.noAddress;
    node_->addresses = result.addresses;
    node_->systemAddress = result.systemAddress;
    if (!fromExchange) node_->isNew = false;
    host_.FormAccepted(result);
    if (fromExchange) return;
    Hide();
}

void Tominaisuus::Hide() {
    scroll_->verticalScrollBar()->setValue(0);
    node_.reset();
    const bool wasConverting = converting_;
    converting_ = false;
    hide();
    if (wasConverting) second_.box->hide();
    host_.FormHidden();
}

void Tominaisuus::Cancel() {
    if (!node_) {
        hide();
        return;
    }
    // A new node is kept as the form shows it: cancelling does not leave it without a list.
    if (node_->isNew) {
        Accept(false);
        return;
    }
    Hide();
}

void Tominaisuus::hideEvent(QHideEvent* event) {
    if (!keepCancelDisabled_) pois_->setEnabled(true);
    for (QToolButton* a : arrows_) delete a;
    arrows_.clear();
    QWidget::hideEvent(event);
}

void Tominaisuus::closeEvent(QCloseEvent* event) {
    if (node_ && node_->isNew) Accept(false);
    if (node_) {
        node_.reset();
        converting_ = false;
        host_.FormHidden();
    }
    Discard();
    builtType_.clear();
    QWidget::closeEvent(event);
}

bool Tominaisuus::eventFilter(QObject* watched, QEvent* event) {
    if (watched == MultiMemo_) {
        if (event->type() == QEvent::FocusOut) MultiMemo_->hide();
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            MultiMemo_->hide();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() == 1 && text[0].unicode() < 256 &&
            !HexKeyAllowed(static_cast<char>(text[0].unicode()))) {
            prompter_.Message(kHexKeyText);
            return true;
        }
        if (text.size() == 1 && text[0].unicode() >= 256) {
            prompter_.Message(kHexKeyText);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Tominaisuus::MarkField(int index, const Field& field) {
    if (main_.column.records.empty() && node_) {
        Discard();
        Build(main_, 0, node_->typeFileName);
        builtType_ = node_->typeFileName;
        builtLevel_ = context_.securityLevel;
        builtSingleView_ = context_.singleView;
        ++buildCount_;
        PlaceButtons();
        Fill();
    }
    MarkResult r = modemcfg::MarkField(main_.column, index, field);
    if (!r.record) {
        prompter_.Message(r.message);
        return;
    }
    SetEditorValue(main_, *r.record);
    Paint(main_.rows[*r.record], true);
}

void Tominaisuus::EnableCancel() {
    keepCancelDisabled_ = false;
    pois_->setEnabled(true);
}

void Tominaisuus::ShowAgain() {
    show();
    raise();
}

void Tominaisuus::NoAddressClicked() {
    if (node_ && context_.virtualRouting && node_->isMaster) {
        no_address_->setChecked(false);
    } else {
        SetAddressText(no_address_->isChecked() ? kNoAddressValue : "");
        osoite_->setModified(true);
    }
    UpdateAddressEdit();
}

void Tominaisuus::ReceiveClicked() {
    if (!node_) return;
    pois_->setEnabled(false);
    keepCancelDisabled_ = true;
    if (node_->isNew) Accept(true);
    host_.ReceiveRequested();
}

void Tominaisuus::TransmitClicked() {
    if (!node_) return;
    pois_->setEnabled(false);
    keepCancelDisabled_ = true;
    Accept(true);
    host_.TransmitRequested();
}

void Tominaisuus::ConvertOne(int k) {
    ReadEditors(main_);
    ReadEditors(second_);
    const auto pairs = ConversionPairs(main_.column, second_.column, context_.securityLevel);
    if (k < 0 || static_cast<size_t>(k) >= pairs.size()) return;
    const ConversionPair& p = pairs[static_cast<size_t>(k)];
    const FormRecord& from = main_.column.records[p.mainRecord];
    FormRecord& to = second_.column.records[p.secondRecord];
    if (!prompter_.Question(ConvertQuestion(from, to), "Question", platform::Icon::Question,
                            platform::Answer::Yes)) {
        return;
    }
    if (CopyValue(from, to)) SetEditorValue(second_, p.secondRecord);
}

void Tominaisuus::ConvertAllClicked() {
    if (!prompter_.Question(kConvertAllQuestion, "Question", platform::Icon::Question,
                            platform::Answer::Yes)) {
        return;
    }
    ReadEditors(main_);
    ReadEditors(second_);
    ConvertAll(main_.column, second_.column, context_.securityLevel);
    for (size_t i = 0; i < second_.rows.size(); ++i) SetEditorValue(second_, i);
}

std::vector<ListingEntry> Tominaisuus::Listing() {
    if (!node_) return {};
    ReadEditors(main_);
    NodeValues values;
    values.name = S(nimi_->text());
    values.isMulti = node_->isMulti;
    if (node_->isMulti) {
        for (const QString& line : MultiMemo_->toPlainText().split('\n'))
            if (!line.trimmed().isEmpty()) values.addresses.push_back(S(line));
    } else {
        values.addresses = {S(osoite_->text())};
    }
    values.systemAddress =
        static_cast<uint16_t>(platform::TextToInt("0x" + S(systemosoite_->text())) & 0xFFFF);
    ListingOptions options;
    options.securityLevel = context_.securityLevel;
    options.singleView = context_.singleView;
    options.fileName = FileNameFromCaption(context_.designerCaption);
    std::vector<ListingEntry> rows = FixedRows(values, options);
    std::vector<ListingEntry> params = ColumnRows(main_.column, context_.securityLevel);
    rows.insert(rows.end(), params.begin(), params.end());
    return rows;
}

}  // namespace kelmor::modemcfg::ui
