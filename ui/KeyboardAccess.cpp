#include "KeyboardAccess.h"

#include <QAbstractButton>
#include <QAction>
#include <QEvent>
#include <QPushButton>

namespace {

// Follows its button: the caption when shown, enabled with it, a click when triggered.
class ButtonAction : public QAction {
public:
    ButtonAction(QPushButton* button, const QKeySequence& key, QObject* parent)
            : QAction(button->text(), parent), button_(button)
    {
        setShortcut(key);
        setShortcutContext(Qt::WidgetShortcut);
        setEnabled(button->isEnabled());
        button->installEventFilter(this);
        connect(this, &QAction::triggered, button, &QPushButton::click);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == button_ && event->type() == QEvent::EnabledChange)
            setEnabled(button_->isEnabled());
        return QAction::eventFilter(watched, event);
    }

private:
    QPushButton* button_;
};

}  // namespace

void ApplyAccessKeys(QWidget* window, std::span<const AccessKey> keys)
{
    for (const AccessKey& key : keys) {
        auto* button = window->findChild<QAbstractButton*>(QString::fromLatin1(key.objectName));
        if (!button)
            continue;
        QString caption = button->text();
        const qsizetype at = caption.indexOf(QLatin1Char(key.letter));
        if (at >= 0 && !caption.contains(QLatin1Char('&')))
            button->setText(caption.insert(at, QLatin1Char('&')));
    }
}

void AddListActions(QWidget* list, std::initializer_list<ListAction> actions)
{
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (const ListAction& action : actions)
        list->addAction(new ButtonAction(action.button, action.key, list));
}
