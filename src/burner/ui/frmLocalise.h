#pragma once
// Translates a window's captions when it loads. A control that has a
// translation carries the text's number in its dynamic property "tag" (a menu
// item in its caption, a tab in its tab data, a tree column header in its
// header item's UserRole data); the rules per kind of control are in
// Captions.h.

#include <QString>

#include "burner/Captions.h"

class QObject;
class QWidget;

namespace tuvik {

inline constexpr char kTagProperty[] = "tag";

void SetTag(QObject* control, const QString& tag);
QString TagOf(const QObject* control);

// The window's own caption and every control below it, in the given language.
void LocaliseCaptions(QWidget* form, Language language);
// In the interface language: Finnish on a Finnish locale, English otherwise.
void LocaliseCaptions(QWidget* form);

}  // namespace tuvik
