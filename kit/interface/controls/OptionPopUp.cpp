#include <OptionPopUp.h>

#include "ControlPrivate.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>

#include <algorithm>
#include <string>
#include <vector>

namespace BPrivate {

struct OptionList
{
    struct Option
    {
        std::string name;
        int32 value;
    };
    std::vector<Option> options;
};

} // namespace BPrivate

BOptionPopUp::BOptionPopUp(BRect frame, const char* name, const char* label, BMessage* message,
                           uint32 resizingMode, uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags), fOptions(new BPrivate::OptionList)
{
    BPrivate::ViewBridge::Data(this)->makeNative = [this](QWidget* parent) -> QWidget* {
        auto* box = new QWidget(parent);
        auto* layout = new QHBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* text = new QLabel(QString::fromUtf8(Label()), box);
        text->setObjectName("label");
        auto* combo = new QComboBox(box);
        layout->addWidget(text);
        layout->addWidget(combo, 1);
        QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [this](int index) {
            if (index >= 0 && index < (int)fOptions->options.size())
                PostValueFromUser(fOptions->options[index].value);
        });
        box->show();
        return box;
    };
}

BOptionPopUp::~BOptionPopUp()
{
    delete fOptions;
}

status_t BOptionPopUp::AddOption(const char* name, int32 value, int32 index)
{
    if (name == nullptr)
        return B_BAD_VALUE;
    auto& options = fOptions->options;
    if (index < 0 || index > (int32)options.size())
        index = options.size();
    options.insert(options.begin() + index, {name, value});
    if (options.size() == 1)
        BControl::SetValue(value);
    SyncNative();
    return B_OK;
}

bool BOptionPopUp::RemoveOptionAt(int32 index)
{
    auto& options = fOptions->options;
    if (index < 0 || index >= (int32)options.size())
        return false;
    options.erase(options.begin() + index);
    SyncNative();
    return true;
}

int32 BOptionPopUp::CountOptions() const
{
    return fOptions->options.size();
}

bool BOptionPopUp::GetOptionAt(int32 index, const char** _name, int32* _value) const
{
    const auto& options = fOptions->options;
    if (index < 0 || index >= (int32)options.size())
        return false;
    if (_name != nullptr)
        *_name = options[index].name.c_str();
    if (_value != nullptr)
        *_value = options[index].value;
    return true;
}

int32 BOptionPopUp::SelectedOption(const char** _name, int32* _value) const
{
    const auto& options = fOptions->options;
    for (size_t i = 0; i < options.size(); i++) {
        if (options[i].value == Value()) {
            GetOptionAt(i, _name, _value);
            return i;
        }
    }
    return -1;
}

void BOptionPopUp::GetPreferredSize(float* _width, float* _height)
{
    float widest = 0;
    for (const auto& option : fOptions->options)
        widest = std::max(widest, BPrivate::text_width(option.name.c_str()));
    if (_width != nullptr)
        *_width = BPrivate::text_width(Label()) + widest + 48;
    if (_height != nullptr)
        *_height = BPrivate::line_height() + 10;
}

void BOptionPopUp::SyncNative()
{
    BControl::SyncNative();
    QWidget* box = BPrivate::native_of<QWidget>(this);
    if (box == nullptr)
        return;
    if (auto* text = box->findChild<QLabel*>("label"))
        text->setText(QString::fromUtf8(Label()));
    if (auto* combo = box->findChild<QComboBox*>()) {
        QSignalBlocker blocker(combo);
        combo->clear();
        for (const auto& option : fOptions->options)
            combo->addItem(QString::fromUtf8(option.name.c_str()));
        combo->setCurrentIndex(SelectedOption());
    }
}
