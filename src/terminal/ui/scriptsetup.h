#pragma once
// TScriptSetup: the twelve script texts of Shift+F1 … Shift+F12, shared by every terminal,
// created hidden at start-up and kept on top while shown.
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "terminal/scriptfiles.h"

class QAction;
class QCheckBox;
class QMenu;
class QMenuBar;
class QPushButton;
class QTextEdit;

namespace kelmor::shell {
class ShellServices;
}

namespace kelmor::terminal {

class Tterminaali;

class TScriptSetup : public QWidget {
    Q_OBJECT
  public:
    // Reads "scripts.txt" and the flags from the program folder (FormCreate).
    explicit TScriptSetup(shell::ShellServices& services, QWidget* parent = nullptr);

    // The bytes of script n (1 … 12), escapes resolved for a mixed script.
    std::vector<uint8_t> ScriptPacket(int n) const;
    // Shift+Fn in a terminal: the terminal takes the bytes (none for an empty script).
    void SendScript(int n, Tterminaali* terminal);
    void SendScript(int n, const std::function<void(std::vector<uint8_t>)>& sendBlock);

    ScriptSet Scripts() const;
    void SetScripts(const ScriptSet& scripts);

    void OkbtnClick();
    void peruutaClick();
    // Save and write both files; false after showing the failure message.
    bool Save();
    // At program end: saves when shown.
    void ProgramEnding();

    QTextEdit* RichEdit(int n) const { return boxes_[static_cast<size_t>(n - 1)]; }
    QCheckBox* Mixed(int n) const { return mixed_[static_cast<size_t>(n - 1)]; }
    QMenu* FileMenu() const { return fileMenu_; }
    QMenuBar* MenuBar() const { return menuBar_; }

    // "Load ..." and "Save as..." (the dialogs are replaced in tests).
    void LoadCommand();
    void SaveAsCommand();
    std::function<QString(bool save)> fileChooser;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void PostRecolour(int index);
    QTextEdit* FocusedBox() const;

    shell::ShellServices& services_;
    std::array<QTextEdit*, kScriptCount> boxes_{};
    std::array<QCheckBox*, kScriptCount> mixed_{};
    QMenuBar* menuBar_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace kelmor::terminal
