#include "qt/QtStateDump.h"

#include "qt/QtForm.h"

#include <QAbstractItemModel>
#include <QByteArray>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QRect>
#include <QSaveFile>
#include <QString>

#include <memory>
#include <vector>

namespace tren::qt {

namespace {

QByteArray Line(const char* key, const QString& value) {
    return QByteArray(key) + '=' + value.toUtf8() + '\n';
}

void Dump(QtForm& window, const QString& path) {
    const auto* size = window.findChild<QComboBox*>(QStringLiteral("cmbSize"));
    const auto* source = window.findChild<QLineEdit*>(QStringLiteral("txtSrcFile"));
    const auto* list = window.findChild<QListWidget*>(QStringLiteral("lstFiles"));
    QByteArray dump;
    dump += Line("running", QString::number(window.Running() ? 1 : 0));
    dump += Line("size.index", QString::number(size->currentIndex()));
    dump += Line("size.text", size->currentText());
    dump += Line("path", source->text());
    for (int row = 0; row < list->count(); ++row)
        dump += Line("list", list->item(row)->text());
    // Where each control is in the window, for the pointer: "at.NAME=x y width height".
    for (const QWidget* control : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect at = control->geometry();
        if (!control->objectName().isEmpty())
            dump += "at." + control->objectName().toUtf8() + '=' +
                    QStringLiteral("%1 %2 %3 %4")
                        .arg(at.x())
                        .arg(at.y())
                        .arg(at.width())
                        .arg(at.height())
                        .toUtf8() +
                    '\n';
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(dump);
        file.commit();
    }
}

} // namespace

void DumpStateOnChange(QtForm& window, const QString& path) {
    auto dump = [&window, path] { Dump(window, path); };
    auto* size = window.findChild<QComboBox*>(QStringLiteral("cmbSize"));
    auto* source = window.findChild<QLineEdit*>(QStringLiteral("txtSrcFile"));
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lstFiles"));
    auto connections = std::make_shared<std::vector<QMetaObject::Connection>>();
    connections->push_back(QObject::connect(size, &QComboBox::currentIndexChanged, &window, dump));
    connections->push_back(QObject::connect(size, &QComboBox::editTextChanged, &window, dump));
    connections->push_back(QObject::connect(source, &QLineEdit::textChanged, &window, dump));
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connections->push_back(QObject::connect(list->model(), signal, &window, dump));
    connections->push_back(
        QObject::connect(list->model(), &QAbstractItemModel::modelReset, &window, dump));
    connections->push_back(QObject::connect(&window, &QtForm::runningChanged, &window, dump));
    // The controls report their own destruction as changes; by then nothing is
    // shown any more.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &window,
                     [connections] {
                         for (const auto& connection : *connections)
                             QObject::disconnect(connection);
                     });
    dump();
}

} // namespace tren::qt
