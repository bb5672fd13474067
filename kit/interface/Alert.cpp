#include <Alert.h>

#include <Invoker.h>
#include <Message.h>

#include "WindowPrivate.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <string>
#include <vector>

struct BAlert::Data
{
    std::string text;
    std::vector<std::string> buttons;
    alert_type type;
    int32 pressed = -1;
    QEventLoop* loop = nullptr;
    BInvoker* invoker = nullptr;
};

BAlert::BAlert(const char* title, const char* text, const char* button1, const char* button2,
               const char* button3, button_width width, alert_type type)
    : BWindow(BRect(100, 100, 410, 190), title, B_MODAL_WINDOW, B_NOT_RESIZABLE),
      fAlertData(new Data)
{
    fAlertData->text = text ? text : "";
    fAlertData->type = type;
    for (const char* label : {button1, button2, button3}) {
        if (label)
            fAlertData->buttons.push_back(label);
    }

    QWidget* widget = BPrivate::WindowBridge::Data(this)->widget;
    auto* layout = new QVBoxLayout(widget);
    auto* label = new QLabel(QString::fromUtf8(fAlertData->text.c_str()), widget);
    label->setObjectName("text");
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (size_t i = 0; i < fAlertData->buttons.size(); i++) {
        auto* button = new QPushButton(QString::fromUtf8(fAlertData->buttons[i].c_str()), widget);
        // The last button is the default one, as on the platform.
        button->setDefault(i + 1 == fAlertData->buttons.size());
        QObject::connect(button, &QPushButton::clicked, widget,
                         [this, i]() { _Pressed((int32)i); });
        row->addWidget(button);
    }
    layout->addLayout(row);

    // Size the window to what it holds.
    QSize hint = widget->sizeHint().expandedTo(QSize(310, 90));
    BPrivate::WindowBridge::Data(this)->flags &= ~B_NOT_RESIZABLE;
    ResizeTo(hint.width() - 1, hint.height() - 1);
    SetFlags(B_NOT_RESIZABLE);
    // Alerts stand centred across the screen, a third of the way down.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->geometry();
        MoveTo(area.x() + (area.width() - hint.width()) / 2,
               area.y() + (area.height() - hint.height()) / 3);
    }
}

BAlert::~BAlert()
{
    delete fAlertData->invoker;
    delete fAlertData;
}

int32 BAlert::Go()
{
    Show();
    QEventLoop loop;
    fAlertData->loop = &loop;
    if (fAlertData->pressed < 0)
        loop.exec();
    fAlertData->loop = nullptr;
    int32 pressed = fAlertData->pressed;
    Quit();
    return pressed;
}

status_t BAlert::Go(BInvoker* invoker)
{
    fAlertData->invoker = invoker;
    Show();
    return B_OK;
}

void BAlert::_Pressed(int32 index)
{
    if (fAlertData->pressed >= 0)
        return;
    fAlertData->pressed = index;
    if (fAlertData->loop) {
        fAlertData->loop->quit();
        return;
    }
    if (fAlertData->invoker) {
        BMessage message(fAlertData->invoker->Message() ? *fAlertData->invoker->Message()
                                                        : BMessage());
        message.AddInt32("which", index);
        fAlertData->invoker->Invoke(&message);
    }
    Quit();
}

bool BAlert::QuitRequested()
{
    // Closing the alert counts as its last button.
    if (fAlertData->pressed < 0 && !fAlertData->buttons.empty())
        _Pressed(CountButtons() - 1);
    return fAlertData->loop == nullptr && fAlertData->invoker == nullptr;
}

const char* BAlert::Text() const
{
    return fAlertData->text.c_str();
}

int32 BAlert::CountButtons() const
{
    return (int32)fAlertData->buttons.size();
}

const char* BAlert::ButtonLabel(int32 index) const
{
    if (index < 0 || index >= CountButtons())
        return nullptr;
    return fAlertData->buttons[index].c_str();
}

alert_type BAlert::Type() const
{
    return fAlertData->type;
}
