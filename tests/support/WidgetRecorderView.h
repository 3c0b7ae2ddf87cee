#pragma once

#include "db/DatabaseLink.h"
#include "host/HostTypes.h"
#include "recording/RecorderView.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>

// The recorder's controls as real widgets, as the main window lays them out:
// Check1..Check5, Text1..Text4 and the status label, which the database link
// writes too. Every status caption is also kept in order, so a message that a
// later one replaced can be checked.
class WidgetRecorderView : public QWidget, public RecorderView, public DatabaseLink::View
{
public:
    WidgetRecorderView()
    {
        auto *layout = new QVBoxLayout(this);
        for (int i = 0; i < 5; ++i) {
            mChecks[i] = new QCheckBox(this);
            layout->addWidget(mChecks[i]);
        }
        for (int i = 0; i < 4; ++i) {
            mTexts[i] = new QLineEdit(this);
            layout->addWidget(mTexts[i]);
        }
        mStatus = new QLabel(this);
        layout->addWidget(mStatus);
        // As a run starts: the bridge enabled, everything captured.
        setChecks(true, true, true, false, true);
    }

    void setChecks(bool fixed, bool mobile, bool wx, bool enforceExclusions, bool enableBridge)
    {
        const bool values[] = {fixed, mobile, wx, enforceExclusions, enableBridge};
        for (int i = 0; i < 5; ++i)
            mChecks[i]->setChecked(values[i]);
    }

    QCheckBox *check(int number) const { return mChecks[number - 1]; }
    QString text(int number) const { return mTexts[number - 1]->text(); }
    QString status() const { return mStatus->text(); }
    void presetStatus(const QString &caption) { mStatus->setText(caption); }
    // Captions set through the view, oldest first.
    QStringList statusHistory;
    // Makes the update of Text<n> fail as a broken control would.
    int failingText = 0;

    int checkValue(int checkNumber) const override { return mChecks[checkNumber - 1]->isChecked() ? 1 : 0; }
    void setLatestData(int textNumber, const QString &text) override
    {
        if (textNumber == failingText)
            throw HostError("control update failed");
        mTexts[textNumber - 1]->setText(text);
    }
    void setStatus(const QString &caption) override
    {
        statusHistory.append(caption);
        mStatus->setText(caption);
    }
    void setStatus(const QString &caption, const QString &detail) override
    {
        setStatus(caption);
        mStatus->setToolTip(detail);
    }
    void setLinkConnected(bool connected) override { linkConnected = connected; }
    bool linkConnected = false;

private:
    QCheckBox *mChecks[5] = {};
    QLineEdit *mTexts[4] = {};
    QLabel *mStatus = nullptr;
};
