#pragma once

#include "UserDialogs.h"

class QWidget;

// The real boxes: Qt message boxes, question boxes and the input dialog. Texts
// keep their "\r" line breaks; they are turned into "\n" for display only.
class QtDialogs : public UserDialogs {
public:
    // parent: the window the boxes belong to (may be null).
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) { }
    void setParent(QWidget* parent) { parent_ = parent; }

    void message(const QString& text, const QString& title = {}) override;
    void messageWithDetail(const QString& text, const QString& detail) override;
    Answer question(const QString& text, const QString& title) override;
    Answer questionForMany(const QString& text, const QString& title) override;
    bool askAboutExistingTables(std::vector<ExistingTableRow>& rows) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& proposed) override;
    void errorReport(const QString& text) override;
    void yield() override;

private:
    QWidget* owner() const;
    QWidget* parent_;
};

// "\r\n" and lone "\r" become "\n".
QString DisplayLineBreaks(const QString& text);
