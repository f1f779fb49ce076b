#pragma once
// Tominaisuus: the modem properties form. One instance shows one node at a time; its parameter
// editors are built at run time from the node's definition file and rebuilt only when the
// type, the security level or the mode changes. The node itself belongs to the designer: the
// form is opened with a snapshot of it and hands what an accept stores back to its host.
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modemcfg/listing.h"
#include "modemcfg/modemparam.h"
#include "modemcfg/propertiesform.h"
#include "modemcfg/protocol.h"
#include "platform/prompter.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QToolButton;

namespace kelmor::modemcfg::ui {

// What the form shows of a node.
struct FormNode {
    std::string name;
    std::vector<std::string> addresses{""};
    bool noAddress = false;
    bool isMulti = false;
    bool isMaster = false;
    uint16_t systemAddress = 0;
    std::string typeFileName;  // "KL160.smf"
    int typeVersion = 0;
    ParameterList parameters;
    bool isNew = false;
};

// Where and how the form is opened.
struct FormContext {
    std::string folder;  // the definition files
    char securityLevel = '0';
    bool singleView = false;  // single-modem mode of the designer
    bool factoryMode = false;
    bool virtualRouting = false;  // the project's routing type
    std::string designerCaption;  // single-modem view lists the file named in it
    int maxHeight = 0;            // the designer's client height (0: no limit)
};

// What an accept stores into the node.
struct FormResult {
    std::string name;
    bool noAddress = false;
    bool isMulti = false;
    std::vector<std::string> addresses;  // multi-port: the non-blank lines; else one entry
    uint16_t systemAddress = 0;
    bool clearList = false;  // ClearParameters (another type, or a conversion); else Rewind
    ParameterList entries;   // PutParameter(type, level, true, shown, value) in order
    std::optional<std::string> newTypeFileName;  // a conversion changes the node's type
    bool addressChanged = false;                 // the routes need computing again
    bool fromExchange = false;  // accepted by Receive/Transmit: the form stays open
};

class FormHost {
  public:
    virtual ~FormHost() = default;
    virtual void FormAccepted(const FormResult& result) = 0;
    // The form was hidden (accept, cancel, close) and forgot its node.
    virtual void FormHidden() {}
    virtual void ReceiveRequested() {}
    virtual void TransmitRequested() {}
};

class Tominaisuus : public QWidget {
    Q_OBJECT
  public:
    Tominaisuus(FormHost& host, platform::Prompter& prompter, QWidget* parent = nullptr);
    ~Tominaisuus() override;

    // Opens the form for a node; a non-empty convertType opens the conversion to that type.
    void Open(const FormNode& node, const FormContext& context,
              const std::string& convertType = {});
    bool HasNode() const { return node_.has_value(); }
    const FormNode* Node() const { return node_ ? &*node_ : nullptr; }
    bool Converting() const { return converting_; }

    // ok / the receive and transmit buttons (fromExchange) / Cancel and close of a new node.
    void Accept(bool fromExchange = false);
    void Cancel();
    // A field of a modem's reply (index 1, 2, … or 1001, …) into its editor, in red.
    void MarkField(int index, const Field& field);
    // The exchange ended or found no modem: Cancel works again.
    void EnableCancel();
    // Shows the form again without filling it (after marking fields).
    void ShowAgain();

    // The rows the property table and the printouts list for the node the form shows.
    std::vector<ListingEntry> Listing();

    // For tests and benchmarks.
    int BuildCount() const { return buildCount_; }
    const FormColumn& MainColumn() const { return main_.column; }
    const FormColumn& SecondColumn() const { return second_.column; }
    QWidget* EditorAt(size_t record, bool secondColumn = false) const;
    std::vector<QToolButton*> ArrowButtons() const;
    const std::string& BuiltType() const { return builtType_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Row {
        QLabel* label = nullptr;
        QWidget* editor = nullptr;
        int y = 0;
        bool red = false;
    };
    struct Column {
        FormColumn column;
        std::vector<Row> rows;
        std::vector<QWidget*> blocks;
        std::vector<ParameterGroup> groups;
        QGroupBox* box = nullptr;
    };

    void BuildFixedControls();
    void Discard();
    bool Build(Column& column, int mode, const std::string& typeFileName);
    void PlaceButtons();
    void Fill();
    void SetEditorValue(Column& column, size_t record);
    void ReadEditors(Column& column);
    void Paint(Row& row, bool red);
    void UpdateAddressEdit();
    void SetAddressText(const QString& text);
    void ConvertOne(int k);
    void ConvertAllClicked();
    void NoAddressClicked();
    void ReceiveClicked();
    void TransmitClicked();
    void Hide();

    FormHost& host_;
    platform::Prompter& prompter_;
    std::optional<FormNode> node_;
    FormContext context_;

    std::string builtType_;
    char builtLevel_ = 0;
    bool builtSingleView_ = false;
    bool typeChanged_ = false;
    std::string convertType_;
    bool converting_ = false;
    bool busy_ = false;
    bool keepCancelDisabled_ = false;
    int buildCount_ = 0;
    int maxWidth_ = 0;

    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    Column main_;
    Column second_;
    std::vector<QToolButton*> arrows_;

    // Fixed controls (their names are the form's own).
    QLabel* nimiLabel_ = nullptr;
    QLineEdit* nimi_ = nullptr;
    QCheckBox* no_address_ = nullptr;
    QLabel* osoiteLabel_ = nullptr;
    QLineEdit* osoite_ = nullptr;
    QLabel* hexLabel_ = nullptr;
    QPushButton* Multibtn_ = nullptr;
    QPlainTextEdit* MultiMemo_ = nullptr;
    QLabel* systemLabel_ = nullptr;
    QLineEdit* systemosoite_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* pois_ = nullptr;
    QPushButton* receivebtn_ = nullptr;
    QPushButton* transmitbtn_ = nullptr;
    QPushButton* ConvAll_ = nullptr;
    QLabel* Label_oldvalues_ = nullptr;
    QLabel* factory_lbl_ = nullptr;
    QFrame* valiviiva_ = nullptr;
};

}  // namespace kelmor::modemcfg::ui
