#pragma once

#include <QMainWindow>

class QLineEdit;
class QPushButton;
class SetupTarget;

// The Setup window: edits the data source, user name, password and database
// name. OK stores all four and reconnects; Close stores nothing.
class Form2 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form2(SetupTarget &target, QWidget *parent = nullptr);

    void setDSN(const QString &value);
    void setUsername(const QString &value);
    void setPassword(const QString &value);
    void setDatabase(const QString &value);

public slots:
    void Command1_Click();
    void Command2_Click();
    void menuFileExit_Click();

private:
    SetupTarget &mTarget;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLineEdit *Text3 = nullptr;
    QLineEdit *Text4 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
};
