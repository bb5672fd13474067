// An independent program for the drag-and-drop tests, built only for them.
//
//   drop_target OUTDIR accept uri|png|xds   takes drops: with "uri" it asks for
//       text/uri-list and copies the file it names to OUTDIR/from-uri; with
//       "png" it asks for image/png and writes the bytes to OUTDIR/image.png;
//       with "xds" it names the file OUTDIR/<the name the source suggests>
//       through XdndDirectSave0, as a file manager does, and appends the
//       source's answer to OUTDIR/answers.txt.
//   drop_target OUTDIR drag FILE        starts a drag of FILE (as text/uri-list)
//       when the mouse is pressed in its window.
//   drop_target OUTDIR offer MIME FILE [OFFSET]   starts a drag that offers the
//       bytes of FILE as MIME, and OFFSET as the offset another tavrin states
//       ("x,y"), when the mouse is pressed; it writes OUTDIR/offered.txt
//       once the drag is over.
// Its window is titled "drop target" and stands at (400, 100), 200 x 150.

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <xcb/xcb.h>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr);
    xcb_atom_t result = reply ? reply->atom : (xcb_atom_t)XCB_ATOM_NONE;
    free(reply);
    return result;
}

// The direct-save exchange with the drag's source window (the owner of the
// drag's selection): read the suggested name, put the file's URI in its
// place, ask for the answer.
QByteArray direct_save(const QMimeData* data, const QString& folder)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return "no X11";
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        c, xcb_get_selection_owner(c, atom(c, "XdndSelection")), nullptr);
    xcb_window_t source = owner ? owner->owner : (xcb_window_t)XCB_WINDOW_NONE;
    free(owner);
    xcb_atom_t property = atom(c, "XdndDirectSave0");
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, source, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
    QByteArray name;
    if (reply)
        name = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                          xcb_get_property_value_length(reply));
    free(reply);
    if (name.isEmpty())
        return "no name";
    QByteArray uri = QUrl::fromLocalFile(folder + "/" + QString::fromUtf8(name)).toEncoded();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, source, property, atom(c, "text/plain"), 8,
                        uri.size(), uri.constData());
    xcb_flush(c);
    return data->data("XdndDirectSave0");
}

} // namespace

class Target : public QWidget
{
public:
    Target(const QString& out, const QString& mode, const QString& file,
           const QString& offerType = QString(), const QByteArray& offset = QByteArray())
        : fOut(out), fMode(mode), fFile(file), fOfferType(offerType), fOffset(offset)
    {
        setWindowTitle("drop target");
        setAcceptDrops(mode == "uri" || mode == "png" || mode == "xds");
        setGeometry(400, 100, 200, 150);
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { Accept(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { Accept(event); }

    void dropEvent(QDropEvent* event) override
    {
        const QMimeData* data = event->mimeData();
        QFile log(fOut + "/offered.txt");
        if (log.open(QIODevice::WriteOnly))
            log.write(data->formats().join("\n").toUtf8() + "\n");
        if (fMode == "xds") {
            QFile answers(fOut + "/answers.txt");
            if (answers.open(QIODevice::Append))
                answers.write(direct_save(data, fOut) + "\n");
        } else if (fMode == "uri") {
            QList<QUrl> urls = data->urls();
            if (!urls.isEmpty() && urls.first().isLocalFile()) {
                QFile::copy(urls.first().toLocalFile(), fOut + "/from-uri");
                QFile names(fOut + "/uri.txt");
                if (names.open(QIODevice::WriteOnly))
                    names.write(urls.first().toLocalFile().toUtf8() + "\n");
            }
        } else {
            QFile image(fOut + "/image.png");
            if (image.open(QIODevice::WriteOnly))
                image.write(data->data("image/png"));
        }
        event->acceptProposedAction();
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (fFile.isEmpty())
            return;
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        if (!fOfferType.isEmpty()) {
            QFile file(fFile);
            file.open(QIODevice::ReadOnly);
            data->setData(fOfferType, file.readAll());
            if (!fOffset.isEmpty())
                data->setData("application/x-tavrin-drag-offset", fOffset);
            drag->setMimeData(data);
            Qt::DropAction action = drag->exec(Qt::CopyAction);
            QFile done(fOut + "/offered.txt");
            if (done.open(QIODevice::WriteOnly))
                done.write(action == Qt::IgnoreAction ? "refused\n" : "dropped\n");
            return;
        }
        data->setUrls({QUrl::fromLocalFile(fFile)});
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);
    }

private:
    template <class Event>
    void Accept(Event* event)
    {
        const QMimeData* data = event->mimeData();
        if ((fMode == "uri" && data->hasUrls()) ||
            (fMode == "png" && data->hasFormat("image/png")) ||
            (fMode == "xds" && data->hasFormat("XdndDirectSave0")))
            event->acceptProposedAction();
    }

    QString fOut, fMode, fFile, fOfferType;
    QByteArray fOffset;
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 4) {
        fprintf(stderr,
                "usage: drop_target OUTDIR accept uri|png | drop_target OUTDIR drag FILE\n");
        return 2;
    }
    QString action = argv[2];
    if (action == "offer" && argc < 5) {
        fprintf(stderr, "usage: drop_target OUTDIR offer MIME FILE [OFFSET]\n");
        return 2;
    }
    if (action == "offer") {
        Target source(argv[1], QString(), argv[4], argv[3], argc > 5 ? QByteArray(argv[5]) : "");
        source.show();
        return app.exec();
    }
    Target target(argv[1], action == "accept" ? QString(argv[3]) : QString(),
                  action == "drag" ? QString(argv[3]) : QString());
    target.show();
    return app.exec();
}
