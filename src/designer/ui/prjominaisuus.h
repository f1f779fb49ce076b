#pragma once
// The project properties dialog: a modeless window over the project properties logic. Its
// controls mirror ProjectProperties::controls; OK and Cancel go through the logic.
#include <QDialog>
#include <functional>

class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QGroupBox;

namespace kelmor::designer {
class Network;
}

namespace kelmor::designer::ui {

class Tprj_ominaisuus : public QDialog {
    Q_OBJECT
  public:
    // accepted is called after OK has been applied to the network.
    Tprj_ominaisuus(Network& network, std::function<void()> accepted, QWidget* parent = nullptr);

    // Shows the accepted values and the dialog (the name field gets the focus).
    void ShowProperties();

    QLineEdit* nimi = nullptr;
    QLineEdit* netid = nullptr;
    QComboBox* addresstype = nullptr;
    QSpinBox* m = nullptr;
    QSpinBox* n = nullptr;
    QGroupBox* hexaddress = nullptr;
    QRadioButton* decimalButton = nullptr;
    QRadioButton* hexadecimalButton = nullptr;
    QRadioButton* sourceRouting = nullptr;
    QRadioButton* virtualRouting = nullptr;

  public slots:
    void OKBtnClick();
    void CancelBtnClick();

  protected:
    void reject() override { CancelBtnClick(); }

  private:
    void LoadControls();
    void StoreControls();
    Network& network_;
    std::function<void()> accepted_;
    bool loading_ = false;
};

}  // namespace kelmor::designer::ui
