#pragma once

// Controls of the automation dialogs, created with their objectName and accessible name so that
// tests and screen readers find every one of them.

#include <QString>

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QWidget;

namespace kestavo::automation {

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption);
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption);
QRadioButton* makeOption(QWidget* parent, const QString& name, const QString& caption);
QListWidget* makeList(QWidget* parent, const QString& name, const QString& accessibleName);

} // namespace kestavo::automation
