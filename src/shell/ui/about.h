#pragma once
#include <QDialog>

namespace kelmor::shell {

class Taboutfrm : public QDialog {
    Q_OBJECT
  public:
    explicit Taboutfrm(QWidget* parent = nullptr);
};

}  // namespace kelmor::shell
