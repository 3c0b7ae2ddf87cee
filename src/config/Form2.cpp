#include "config/Form2.h"

#include "config/SetupTarget.h"
#include "settings/SettingsFile.h"
#include "widgets/ControlLayout.h"
#include "widgets/WindowFont.h"
#include "widgets/WindowIcon.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

namespace {

void caption(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *label = placeControl<QLabel>(parent, name, geometry, text);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // A caption a pixel or two wider than its box ("Username" in the window
    // font) would lose its first letter's edge: its letters are set that much
    // closer instead, and the box stays where the layout puts it.
    const qreal over = QFontMetricsF(label->font()).horizontalAdvance(text) - geometry.width();
    if (over > 0 && text.size() > 1) {
        QFont tighter = label->font();
        tighter.setLetterSpacing(QFont::AbsoluteSpacing, -(over + 0.5) / qreal(text.size() - 1));
        label->setFont(tighter);
    }
}

// Neither button answers Enter or Escape on its own.
QPushButton *button(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *push = placeControl<QPushButton>(parent, name, geometry, text);
    push->setAutoDefault(false);
    push->setDefault(false);
    return push;
}

}  // namespace

Form2::Form2(SetupTarget &target, QWidget *parent) : QMainWindow(parent, Qt::Window), mTarget(target)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Setup"));
    setWindowIcon(keldanWindowIcon());
    setFont(keldanWindowFont());

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips(2985), twips(2280));
    setCentralWidget(client);

    auto *Picture1 = placeControl<QWidget>(client, "Picture1", twipsRect(0, 0, 2895, 1695));
    caption(Picture1, "Label1", QStringLiteral("DSN"), twipsRect(360, 120, 495, 255));
    Text1 = placeControl<QLineEdit>(Picture1, "Text1", twipsRect(960, 120, 1695, 285));
    caption(Picture1, "Label2", QStringLiteral("Username"), twipsRect(120, 480, 735, 255));
    Text2 = placeControl<QLineEdit>(Picture1, "Text2", twipsRect(960, 480, 1695, 285));
    caption(Picture1, "Label3", QStringLiteral("Password"), twipsRect(120, 840, 735, 255));
    Text3 = placeControl<QLineEdit>(Picture1, "Text3", twipsRect(960, 840, 1695, 285));
    Text3->setEchoMode(QLineEdit::Password);
    Text3->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));  // '*'
    caption(Picture1, "Label4", QStringLiteral("Database"), twipsRect(120, 1200, 735, 255));
    Text4 = placeControl<QLineEdit>(Picture1, "Text4", twipsRect(960, 1200, 1695, 285));
    // Each value is one line of keldan.ini: a pasted line break (a password
    // copied with its line end) and all after it never reach the box.
    for (QLineEdit *box : {Text1, Text2, Text3, Text4}) {
        connect(box, &QLineEdit::textChanged, box, [box](const QString &text) {
            const QString line = SettingsFile::singleLine(text);
            if (line.size() != text.size())
                box->setText(line);
        });
    }

    Command1 = button(client, "Command1", QStringLiteral("OK"), twipsRect(600, 1800, 1095, 375));
    Command2 = button(client, "Command2", QStringLiteral("Close"), twipsRect(1800, 1800, 1095, 375));
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);

    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Text1);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Text4);
    Command1->setFocus();

    QMenu *menuFile = menuBar()->addMenu(QStringLiteral("&File"));
    menuFile->setObjectName(QStringLiteral("menuFile"));
    QAction *menuFileExit = menuFile->addAction(QStringLiteral("E&xit"));
    menuFileExit->setObjectName(QStringLiteral("menuFileExit"));
    connect(menuFileExit, &QAction::triggered, this, &Form2::menuFileExit_Click);
}

void Form2::setDSN(const QString &value)
{
    Text1->setText(value);
}
void Form2::setUsername(const QString &value)
{
    Text2->setText(value);
}
void Form2::setPassword(const QString &value)
{
    Text3->setText(value);
}
void Form2::setDatabase(const QString &value)
{
    Text4->setText(value);
}

void Form2::Command1_Click()
{
    try {
        mTarget.logOff();
        mTarget.changeConfig(SettingsFile::KeyDsn, Text1->text(), false);
        mTarget.changeConfig(SettingsFile::KeyUsername, Text2->text(), false);
        mTarget.changeConfig(SettingsFile::KeyPassword, Text3->text(), false);
        mTarget.changeConfig(SettingsFile::KeyDatabase, Text4->text(), false);
        mTarget.logon();
    } catch (...) {
        mTarget.reportFatalError(std::current_exception());
        return;
    }
    close();
}

void Form2::Command2_Click()
{
    close();
}

void Form2::menuFileExit_Click()
{
    close();
}
