#include <ScrollBar.h>

#include <Message.h>
#include <Window.h>

#include "ViewPrivate.h"

#include <QScrollBar>

#include <cmath>

namespace {
const uint32 kValueFromPlatform = '_SBV';
}

struct BScrollBar::Data
{
    BView* target = nullptr;
    orientation direction;
    float min = 0;
    float max = 0;
    float value = 0;
    float proportion = 0;
    float smallStep = 1;
    float largeStep = 10;
    bool syncing = false;
};

BScrollBar::BScrollBar(BRect frame, const char* name, BView* target, float min, float max,
                       orientation direction)
    : BView(frame, name,
            direction == B_VERTICAL ? (B_FOLLOW_TOP_BOTTOM | B_FOLLOW_RIGHT)
                                    : (B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM),
            B_WILL_DRAW | B_FRAME_EVENTS),
      fSBData(new Data)
{
    fSBData->direction = direction;
    fSBData->min = min;
    fSBData->max = std::max(min, max);
    SetTarget(target);

    BPrivate::ViewBridge::Data(this)->makeNative = [this](QWidget* parent) -> QWidget* {
        auto* bar = new QScrollBar(fSBData->direction == B_VERTICAL ? Qt::Vertical : Qt::Horizontal,
                                   parent);
        QObject::connect(bar, &QScrollBar::valueChanged, bar, [this](int value) {
            if (fSBData->syncing)
                return;
            // The user moved the bar: the change is handled on the window's strand.
            BMessage message(kValueFromPlatform);
            message.AddFloat("value", (float)value);
            if (Window())
                Window()->PostMessage(&message, this);
        });
        QObject::connect(bar, &QAbstractSlider::actionTriggered, bar, [this, bar](int action) {
            // The platform pages by its knob size; this bar pages by its large step.
            int step = (int)std::lround(fSBData->largeStep);
            if (action == QAbstractSlider::SliderPageStepAdd)
                bar->setSliderPosition(std::min(bar->maximum(), bar->value() + step));
            else if (action == QAbstractSlider::SliderPageStepSub)
                bar->setSliderPosition(std::max(bar->minimum(), bar->value() - step));
        });
        bar->show();
        return bar;
    };
}

BScrollBar::~BScrollBar()
{
    SetTarget((BView*)nullptr);
    delete fSBData;
}

void BScrollBar::ValueChanged(float newValue)
{
    BView* target = fSBData->target;
    if (!target)
        return;
    BRect bounds = target->Bounds();
    if (fSBData->direction == B_HORIZONTAL)
        target->ScrollTo(BPoint(newValue, bounds.top));
    else
        target->ScrollTo(BPoint(bounds.left, newValue));
}

void BScrollBar::SetValue(float value)
{
    if (!std::isfinite(value))
        return;
    value = std::round(std::clamp(value, fSBData->min, fSBData->max));
    if (value == fSBData->value)
        return;
    fSBData->value = value;
    _SyncWidget();
    ValueChanged(value);
}

float BScrollBar::Value() const
{
    return fSBData->value;
}

void BScrollBar::SetProportion(float proportion)
{
    if (std::isnan(proportion) || proportion < 0)
        proportion = 0;
    if (proportion > 1)
        proportion = 1;
    fSBData->proportion = proportion;
    _SyncWidget();
}

float BScrollBar::Proportion() const
{
    return fSBData->proportion;
}

void BScrollBar::SetRange(float min, float max)
{
    if (!std::isfinite(min))
        min = 0;
    if (!std::isfinite(max) || max < min)
        max = min;
    fSBData->min = min;
    fSBData->max = max;
    _SyncWidget();
    // A value outside the new range moves, and the target follows.
    float value = std::clamp(fSBData->value, min, max);
    if (value != fSBData->value) {
        fSBData->value = value;
        _SyncWidget();
        ValueChanged(value);
    }
}

void BScrollBar::GetRange(float* min, float* max) const
{
    if (min)
        *min = fSBData->min;
    if (max)
        *max = fSBData->max;
}

void BScrollBar::SetSteps(float smallStep, float largeStep)
{
    fSBData->smallStep = smallStep;
    fSBData->largeStep = largeStep;
    _SyncWidget();
}

void BScrollBar::GetSteps(float* smallStep, float* largeStep) const
{
    if (smallStep)
        *smallStep = fSBData->smallStep;
    if (largeStep)
        *largeStep = fSBData->largeStep;
}

void BScrollBar::SetTarget(BView* target)
{
    BView* old = fSBData->target;
    if (old) {
        BPrivate::ViewData* data = BPrivate::ViewBridge::Data(old);
        if (fSBData->direction == B_HORIZONTAL && data->horizontalBar == this)
            data->horizontalBar = nullptr;
        if (fSBData->direction == B_VERTICAL && data->verticalBar == this)
            data->verticalBar = nullptr;
    }
    fSBData->target = target;
    if (target) {
        BPrivate::ViewData* data = BPrivate::ViewBridge::Data(target);
        if (fSBData->direction == B_HORIZONTAL)
            data->horizontalBar = this;
        else
            data->verticalBar = this;
    }
}

void BScrollBar::SetTarget(const char* targetName)
{
    if (Window())
        SetTarget(Window()->FindView(targetName));
}

BView* BScrollBar::Target() const
{
    return fSBData->target;
}

orientation BScrollBar::Orientation() const
{
    return fSBData->direction;
}

void BScrollBar::MessageReceived(BMessage* message)
{
    if (message->what == kValueFromPlatform) {
        float value = 0;
        if (message->FindFloat("value", &value) == B_OK)
            SetValue(value);
        return;
    }
    BView::MessageReceived(message);
}

void BScrollBar::AttachedToWindow()
{
    _SyncWidget();
}

void BScrollBar::FrameResized(float width, float height) {}

void BScrollBar::_TargetScrolled(float value)
{
    fSBData->value = value;
    _SyncWidget();
}

void BScrollBar::_SyncWidget()
{
    auto* bar = qobject_cast<QScrollBar*>(BPrivate::ViewBridge::Data(this)->native);
    if (!bar)
        return;
    fSBData->syncing = true;
    int min = (int)std::lround(fSBData->min);
    int max = (int)std::lround(fSBData->max);
    bar->setRange(min, max);
    bar->setSingleStep(std::max(1, (int)std::lround(fSBData->smallStep)));
    // The knob's share of the track is the proportion.
    float p = fSBData->proportion;
    int range = max - min;
    int page = p >= 1 || range == 0 ? std::max(1, range) * 1000 + 1
                                    : (int)std::lround(p * range / (1 - p));
    bar->setPageStep(std::max(1, page));
    bar->setValue((int)std::lround(fSBData->value));
    fSBData->syncing = false;
}
