#pragma once

#include <QObject>
#include <QStringList>

// Answers every message box the moment it shows, so no test blocks on a
// dialog, and records what each one said.
class MessageCatcher : public QObject
{
public:
    struct Box
    {
        QString title;
        QString text;
        bool plainText;
    };

    MessageCatcher();
    ~MessageCatcher() override;

    QList<Box> boxes;
    QStringList texts() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
