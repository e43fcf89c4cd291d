#include "app/gui/about_box.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "app/gui/fonts.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle("Version Information");
    setFixedSize(433, 140);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(8, 8, 417, 89);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setGeometry(12, 12, 32, 32);
    ProgramIcon->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(32, 32));

    ProductName = new QLabel("XML Editor for ORVEX用地点マークファイル", panel);
    ProductName->setObjectName("ProductName");
    QFont titleFont = mapFont(EFontFace::mincho, 13);
    titleFont.setBold(true);
    ProductName->setFont(titleFont);
    ProductName->setGeometry(64, 14, 345, 20);

    Version = new QLabel("Version 1.00", panel);
    Version->setObjectName("Version");
    Version->setFont(mapFont(EFontFace::timesNewRoman, 13));
    Version->setGeometry(64, 48, 345, 20);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(179, 106, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent* event) {
    if (const QScreen* screen = QApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}
