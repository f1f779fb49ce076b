#pragma once
// What the designer window leaves to other parts of the program: the modem exchange and the
// forms around it (properties form, security level, serial port choice), and the property
// table and printing. Each group is an interface with defaults that say "Not available in this
// build"; the window asks its factory function for the implementation when it is created.
//
// MakeExchangeHooks is defined in exchangehooks.cpp, MakePrintHooks in printhooks.cpp: an
// implementation replaces the body of its factory (and lives in its own files).
#include <memory>
#include <string>

namespace kelmor::designer {
class TKuvio;
}

namespace kelmor::designer::ui {

class Tpiirtopohja;

// The exchange with a modem and the forms that edit a node's parameters.
class ExchangeHooks {
  public:
    explicit ExchangeHooks(Tpiirtopohja& window) : window_(window) {}
    virtual ~ExchangeHooks() = default;

    // The modem properties form for node ("&Properties", double click, Enter, end of placing).
    virtual void OpenProperties(TKuvio& node);
    // "Change sm&f-file type to" → the properties form in conversion mode toward targetType.
    virtual void ConvertType(TKuvio& node, const std::string& targetType);
    // While the form converts a type, presses on nodes do nothing.
    virtual bool ConversionMode() const { return false; }
    // The active node changed; a visible properties form switches to it (node may be null).
    virtual void ActiveNodeChanged(TKuvio* node) { (void)node; }
    // A node is about to be deleted or the network cleared: drop references to it (null: all).
    virtual void Forget(const TKuvio* node) { (void)node; }

    // "&Receive values" / "&Transmit values" for the active node.
    virtual void ReceiveValues(TKuvio& node);
    virtual void TransmitValues(TKuvio& node);
    // Whether the window's serial port is open (an exchange runs).
    virtual bool PortOpen() const { return false; }
    // "&Serial port" → "&Port number" → COM1..COM16 (number 1..16); the window has already
    // moved the check mark.
    virtual void SelectPort(int number);

    // "Security &level" of the Project menu; level 9 disables type conversion.
    virtual void SecurityLevel();
    virtual bool SecurityLevelNine() const { return false; }
    // A command that would delete nodes or replace the network while an exchange runs: true
    // when it must not go on (the message has been shown).
    virtual bool RefuseWhileRunning() { return false; }

    // The window is closing (after the save question): close the properties form, the
    // security level dialog and the port. Also asked first, before the question, whether the
    // properties form may close (false keeps the window open).
    virtual bool CloseForms() { return true; }
    virtual void Closing() {}

  protected:
    Tpiirtopohja& window_;
};

// The property table and the printed documents.
class PrintHooks {
  public:
    explicit PrintHooks(Tpiirtopohja& window) : window_(window) {}
    virtual ~PrintHooks() = default;

    virtual void PropertyTable();                    // "Property &table"
    virtual void RefreshPropertyTable() {}           // after Open / a recent file
    virtual void PrintGraph();                       // "&Graph", the main window's print button
    virtual void PrintAllProperties();               // "&Properties (all modems)"
    virtual void PrintNodeProperties(TKuvio& node);  // "&Print properties" (active node)
    virtual void Closing() {}                        // the window closes: close the table

  protected:
    Tpiirtopohja& window_;
};

std::unique_ptr<ExchangeHooks> MakeExchangeHooks(Tpiirtopohja& window);
std::unique_ptr<PrintHooks> MakePrintHooks(Tpiirtopohja& window);

}  // namespace kelmor::designer::ui
