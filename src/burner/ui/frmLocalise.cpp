#include "burner/ui/frmLocalise.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QVariant>

namespace tuvik {

namespace {

void Apply(const std::optional<QString>& text, const std::function<void(const QString&)>& set) {
    if (text) {
        set(*text);
    }
}

void LocaliseMenu(const QList<QAction*>& actions, Language language) {
    for (QAction* a : actions) {
        const CaptionUpdate u = LocaliseControl(CaptionKind::MenuItem, {}, {}, a->text(), language);
        Apply(u.caption, [a](const QString& t) { a->setText(t); });
    }
}

void LocaliseWidget(QWidget* w, Language language) {
    if (auto* label = qobject_cast<QLabel*>(w)) {
        const CaptionUpdate u =
            LocaliseControl(CaptionKind::Label, TagOf(w), {}, label->text(), language);
        Apply(u.caption, [label](const QString& t) { label->setText(t); });
        return;
    }
    if (auto* menu = qobject_cast<QMenu*>(w)) {
        LocaliseMenu(menu->actions(), language);
        return;
    }
    if (auto* bar = qobject_cast<QMenuBar*>(w)) {
        LocaliseMenu(bar->actions(), language);
        return;
    }
    if (auto* tabs = qobject_cast<QTabBar*>(w)) {
        for (int i = 0; i < tabs->count(); ++i) {
            const CaptionUpdate u =
                LocaliseControl(CaptionKind::Other, tabs->tabData(i).toString(),
                                tabs->tabToolTip(i), tabs->tabText(i), language);
            Apply(u.caption, [tabs, i](const QString& t) { tabs->setTabText(i, t); });
            Apply(u.tooltip, [tabs, i](const QString& t) { tabs->setTabToolTip(i, t); });
        }
        return;
    }
    if (auto* toolbar = qobject_cast<QToolBar*>(w)) {
        for (QAction* a : toolbar->actions()) {
            const CaptionUpdate u =
                LocaliseControl(CaptionKind::Other, {}, a->toolTip(), {}, language);
            Apply(u.tooltip, [a](const QString& t) { a->setToolTip(t); });
        }
        return;
    }
    if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
        QTreeWidgetItem* header = tree->headerItem();
        for (int c = 0; header && c < header->columnCount(); ++c) {
            const CaptionUpdate u =
                LocaliseControl(CaptionKind::Label, header->data(c, Qt::UserRole).toString(), {},
                                header->text(c), language);
            Apply(u.caption, [header, c](const QString& t) { header->setText(c, t); });
        }
        return;
    }
    // Any other control: a button's text or a frame's title, then the tooltip.
    QString caption;
    std::function<void(const QString&)> setCaption;
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        caption = button->text();
        setCaption = [button](const QString& t) { button->setText(t); };
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        caption = group->title();
        setCaption = [group](const QString& t) { group->setTitle(t); };
    }
    const CaptionUpdate u =
        LocaliseControl(CaptionKind::Other, TagOf(w), w->toolTip(), caption, language);
    if (setCaption) {
        Apply(u.caption, setCaption);
    }
    Apply(u.tooltip, [w](const QString& t) { w->setToolTip(t); });
}

}  // namespace

void SetTag(QObject* control, const QString& tag) {
    control->setProperty(kTagProperty, tag);
}

QString TagOf(const QObject* control) {
    return control->property(kTagProperty).toString();
}

void LocaliseCaptions(QWidget* form, Language language) {
    if (!form) {
        return;
    }
    const CaptionUpdate own =
        LocaliseControl(CaptionKind::Label, TagOf(form), {}, form->windowTitle(), language);
    Apply(own.caption, [form](const QString& t) { form->setWindowTitle(t); });
    for (QWidget* w : form->findChildren<QWidget*>()) {
        // Windows owned by this one translate their own captions when they load.
        if (w->window() == form) {
            LocaliseWidget(w, language);
        }
    }
}

void LocaliseCaptions(QWidget* form) {
    // QLocale() is the system's locale unless the program chose another.
    LocaliseCaptions(form, UiLanguage(QLocale()));
}

}  // namespace tuvik
