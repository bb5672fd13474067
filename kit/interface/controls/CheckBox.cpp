#include <CheckBox.h>

#include "ControlPrivate.h"

#include <QCheckBox>
#include <QSignalBlocker>

BCheckBox::BCheckBox(BRect frame, const char* name, const char* label, BMessage* message,
                     uint32 resizingMode, uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags)
{
    BPrivate::ViewBridge::Data(this)->makeNative = [this](QWidget* parent) -> QWidget* {
        auto* box = new QCheckBox(QString::fromUtf8(Label()), parent);
        box->setChecked(Value() != B_CONTROL_OFF);
        box->setEnabled(IsEnabled());
        QObject::connect(box, &QCheckBox::toggled, box, [this](bool checked) {
            PostValueFromUser(checked ? B_CONTROL_ON : B_CONTROL_OFF);
        });
        box->show();
        return box;
    };
}

BCheckBox::~BCheckBox() {}

void BCheckBox::GetPreferredSize(float* _width, float* _height)
{
    // Room for the box and the gap before the label.
    if (_width != nullptr)
        *_width = BPrivate::text_width(Label()) + 28;
    if (_height != nullptr)
        *_height = BPrivate::line_height() + 6;
}

void BCheckBox::SyncNative()
{
    BControl::SyncNative();
    if (QCheckBox* box = BPrivate::native_of<QCheckBox>(this)) {
        QSignalBlocker blocker(box);
        box->setText(QString::fromUtf8(Label()));
        box->setChecked(Value() != B_CONTROL_OFF);
    }
}
