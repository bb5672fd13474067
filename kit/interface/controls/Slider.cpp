#include <Slider.h>

#include <Message.h>
#include <Window.h>

#include "ControlPrivate.h"

#include <QBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <string>

namespace {

// Posted by the platform slider while it is dragged, and when it is let go.
const uint32 kSliderMoved = '_smv';
const uint32 kSliderReleased = '_srl';

} // namespace

BSlider::BSlider(BRect frame, const char* name, const char* label, BMessage* message,
                 int32 minValue, int32 maxValue, thumb_style thumbType, uint32 resizingMode,
                 uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags), fMinimum(minValue),
      fMaximum(std::max(minValue, maxValue)), fModificationMessage(nullptr)
{
    BControl::SetValue(fMinimum);
    BPrivate::ViewBridge::Data(this)->makeNative = [this](QWidget* parent) -> QWidget* {
        // The label on the left and the value on the right above the bar.
        auto* box = new QWidget(parent);
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(2);
        auto* row = new QHBoxLayout;
        auto* text = new QLabel(QString::fromUtf8(Label()), box);
        text->setObjectName("label");
        auto* shown = new QLabel(QString::number(Value()), box);
        shown->setObjectName("value");
        shown->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row->addWidget(text, 1);
        row->addWidget(shown);
        auto* slider = new QSlider(Qt::Horizontal, box);
        slider->setRange(fMinimum, fMaximum);
        slider->setValue(Value());
        layout->addLayout(row);
        layout->addWidget(slider);
        QObject::connect(slider, &QSlider::valueChanged, slider, [this, slider, shown](int value) {
            // The number follows the thumb at once, before the strand hears of it.
            shown->setText(QString::number(value));
            if (!slider->isSliderDown()) {
                PostValueFromUser(value);
                return;
            }
            BMessage moved(kSliderMoved);
            moved.AddInt32("value", value);
            if (Window() != nullptr)
                Window()->PostMessage(&moved, this);
        });
        QObject::connect(slider, &QSlider::sliderReleased, slider, [this, slider] {
            // The value is already the dragged one; letting go invokes even so.
            BMessage released(kSliderReleased);
            released.AddInt32("value", slider->value());
            if (Window() != nullptr)
                Window()->PostMessage(&released, this);
        });
        box->show();
        return box;
    };
}

BSlider::~BSlider()
{
    delete fModificationMessage;
}

void BSlider::MessageReceived(BMessage* message)
{
    if (message->what != kSliderMoved && message->what != kSliderReleased) {
        BControl::MessageReceived(message);
        return;
    }
    int32 value;
    if (message->FindInt32("value", &value) != B_OK)
        return;
    BControl::SetValue(std::clamp(value, fMinimum, fMaximum));
    if (message->what == kSliderReleased)
        Invoke();
    else if (fModificationMessage != nullptr)
        Invoke(fModificationMessage);
}

void BSlider::SetValue(int32 value)
{
    BControl::SetValue(std::clamp(value, fMinimum, fMaximum));
}

void BSlider::SetLimits(int32 minimum, int32 maximum)
{
    fMinimum = minimum;
    fMaximum = std::max(minimum, maximum);
    SetValue(Value());
}

void BSlider::GetLimits(int32* minimum, int32* maximum) const
{
    if (minimum != nullptr)
        *minimum = fMinimum;
    if (maximum != nullptr)
        *maximum = fMaximum;
}

void BSlider::SetModificationMessage(BMessage* message)
{
    delete fModificationMessage;
    fModificationMessage = message;
}

BMessage* BSlider::ModificationMessage() const
{
    return fModificationMessage;
}

void BSlider::GetPreferredSize(float* _width, float* _height)
{
    // Room for the label and the longest value beside it.
    std::string lowest = std::to_string(fMinimum);
    std::string highest = std::to_string(fMaximum);
    float value =
        std::max(BPrivate::text_width(lowest.c_str()), BPrivate::text_width(highest.c_str()));
    if (_width != nullptr)
        *_width = std::max(BPrivate::text_width(Label()) + 12 + value, 120.0f) + 4;
    if (_height != nullptr)
        *_height = BPrivate::line_height() + 28;
}

void BSlider::SyncNative()
{
    BControl::SyncNative();
    QWidget* box = BPrivate::native_of<QWidget>(this);
    if (box == nullptr)
        return;
    if (auto* text = box->findChild<QLabel*>("label"))
        text->setText(QString::fromUtf8(Label()));
    auto* slider = box->findChild<QSlider*>();
    // While the user holds the thumb it leads, and the strand catches up.
    if (slider == nullptr || slider->isSliderDown())
        return;
    QSignalBlocker blocker(slider);
    slider->setRange(fMinimum, fMaximum);
    slider->setValue(Value());
    if (auto* shown = box->findChild<QLabel*>("value"))
        shown->setText(QString::number(Value()));
}
