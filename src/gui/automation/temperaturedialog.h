#pragma once

#include <QColor>
#include <QString>

#include "gui/main/consoledialog.h"

class QLineEdit;
class QListWidget;
class QRadioButton;
class QSlider;

namespace kestavo::automation {

/// `tempBox`: the scripts the unit runs when its temperature rises above an upper threshold or
/// falls below a lower one, or no action ('P').
class TemperatureDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemperatureDialog)

public:
    /// Slider range in whole degrees Celsius. The unit takes 0; the colour rule needs at most 51.
    static constexpr int kLowest = 0;
    static constexpr int kHighest = 49;

    explicit TemperatureDialog(core::Context& context);

    /// Asks the unit for its slot table; the slot lists are refilled, without a choice, when it
    /// arrives.
    void refresh();
    /// Validates, sends the setting and closes; any refusal leaves the dialog open.
    void upload();

    /// Fahrenheit text of a whole Celsius value in its shortest form (21 → "69.8").
    static QString fahrenheitText(int celsius);
    /// Background of a threshold box at `celsius`: cyan at 0 running towards red.
    static QColor background(int celsius);

private:
    void showCurrentSetting();
    void setChoicesEnabled(bool enabled);
    void fillSlotLists();
    void showThreshold(QSlider* slider, QLineEdit* celsius, QLineEdit* fahrenheit);
    void updateCaption(const QString& temperatureText);
    void onReplyIndicator(int value);

    QRadioButton* m_disable;   // "Disable temperature activated relay action."
    QRadioButton* m_run;       // "Execute a relay script when temerature thresholds are reached."
    QSlider* m_upper;          // Slider1
    QLineEdit* m_upperC;       // Text1
    QLineEdit* m_upperF;       // Text2
    QListWidget* m_upperSlots; // List1
    QListWidget* m_upperSteps; // List2
    QSlider* m_lower;          // Slider2
    QLineEdit* m_lowerC;       // Text3
    QLineEdit* m_lowerF;       // Text4
    QListWidget* m_lowerSlots; // List3
    QListWidget* m_lowerSteps; // List4
};

} // namespace kestavo::automation
