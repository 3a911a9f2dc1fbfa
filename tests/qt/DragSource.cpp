// A drag source for the tests that drop onto the window through the display: a
// small window that starts a drag of the files (or addresses) named on its
// command line when the left button is pressed on it, and prints how the drag
// ended, "copied" or "ignored". A path becomes a file URI with its bytes
// percent-encoded as they are; an argument with "://" in it is taken as it is.
#include <QApplication>
#include <QByteArray>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QWidget>

#include <cstdio>

namespace {

class DragSource final : public QWidget {
  public:
    explicit DragSource(QByteArray uriList) : uriList_(std::move(uriList)) {
        setWindowTitle(QStringLiteral("tren drag source"));
        setFixedSize(120, 120);
    }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton)
            return;
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setData(QStringLiteral("text/uri-list"), uriList_);
        drag->setMimeData(data);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("%s\n", action == Qt::CopyAction ? "copied" : "ignored");
        std::fflush(stdout);
    }

  private:
    QByteArray uriList_;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QByteArray uriList;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        uriList += argument.contains("://")
                       ? argument
                       : QByteArray("file://") + argument.toPercentEncoding("/");
        uriList += "\r\n";
    }
    DragSource source(uriList);
    // Away from the corner where the window manager puts the window under test.
    source.move(1000, 700);
    source.show();
    return QApplication::exec();
}
