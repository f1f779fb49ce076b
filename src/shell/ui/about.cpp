#include "shell/ui/about.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace kelmor::shell {

namespace {
// The maker's notice and address shown in the box.
constexpr const char* kMakerNotice = "Copyright (C) ZORVALINK. All rights reserved.";
constexpr const char* kMakerAddress = "https://www.zorvalink.com";
}  // namespace

Taboutfrm::Taboutfrm(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About");
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(":/icons/kelmor.svg").pixmap(48, 48));
    top->addWidget(icon);
    auto* texts = new QVBoxLayout;
    auto* version = new QLabel(QString::fromUtf8("Kelmor \u2122 version 4.0"), this);
    version->setObjectName("Version");
    texts->addWidget(version);
    texts->addWidget(new QLabel(kMakerNotice, this));
    auto* link = new QLabel(
        QString("<a href=\"%1\" style=\"color:#0000ff;\">%1</a>").arg(kMakerAddress), this);
    link->setObjectName("Link");
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    connect(link, &QLabel::linkActivated, this,
            [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
    texts->addWidget(link);
    top->addLayout(texts);
    layout->addLayout(top);
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

}  // namespace kelmor::shell
