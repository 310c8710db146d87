#include "shell/qtfiledialogs.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QLocale>

namespace dov {

namespace {
// The columns of Qt's file-system model.
constexpr int kTypeColumn = 2;
constexpr int kDateColumn = 3;
}  // namespace

QVariant CJapaneseFileProxy::data(const QModelIndex& index, int role) const {
    const auto* fs = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!fs || role != Qt::DisplayRole ||
        (index.column() != kTypeColumn && index.column() != kDateColumn))
        return QSortFilterProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    if (index.column() == kTypeColumn)
        return fs->isDir(source) ? QStringLiteral("フォルダ")
                                 : QSortFilterProxyModel::data(index, role);
    return QLocale().toString(fs->lastModified(source), QStringLiteral("yyyy/MM/dd HH:mm"));
}

void MakeJapanese(QFileDialog& dlg) {
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setProxyModel(new CJapaneseFileProxy(&dlg));
}

QString ChooseFolder(QWidget* parent, const QString& title, const QString& start) {
    QFileDialog dlg(parent, title, start);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly, true);
    MakeJapanese(dlg);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
    return dlg.selectedFiles().front();
}

}  // namespace dov
