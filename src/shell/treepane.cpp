#include "shell/treepane.h"

#include <QSignalBlocker>
#include <QStyle>
#include <QTreeWidget>
#include <vector>

#include "model/item.h"
#include "shell/qthost.h"

namespace dov {

namespace {
constexpr int kItemRole = Qt::UserRole + 1;
}

CTreePane::CTreePane(QTreeWidget* tree, QtHost* host, QObject* parent)
    : QObject(parent), tree_(tree) {
    connect(host, &QtHost::treeFolderAdded, this,
            [this](CMyItem* folder, CMyItem* parent, const QString& label) {
                if (nodes_.contains(folder)) return;
                QTreeWidgetItem* parentNode = nodes_.value(parent, nullptr);
                QTreeWidgetItem* n = AddNode(folder, parentNode, label);
                if (!parentNode) SelectQuietly(n);
            });
    connect(host, &QtHost::treeFolderRemoved, this, &CTreePane::RemoveNode);
    connect(host, &QtHost::treeFolderChanged, this,
            [this](CMyItem* folder, const QString& label) { SetLabel(folder, label); });
    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* n, int) {
        if (!settingLabel_) emit labelEdited(n);
    });
}

CMyItem* CTreePane::ItemOf(const QTreeWidgetItem* node) {
    return node ? static_cast<CMyItem*>(node->data(0, kItemRole).value<void*>()) : nullptr;
}

CMyItem* CTreePane::CurrentFolder() const {
    return ItemOf(tree_->currentItem());
}

void CTreePane::SelectQuietly(QTreeWidgetItem* node) {
    if (!node || tree_->currentItem() == node) return;
    QSignalBlocker b(tree_);
    tree_->setCurrentItem(node);
}

void CTreePane::SetLabel(CMyItem* folder, const QString& label) {
    QTreeWidgetItem* n = nodes_.value(folder, nullptr);
    if (!n) return;
    settingLabel_ = true;
    n->setText(0, label);
    settingLabel_ = false;
}

QString CTreePane::PathText(CMyItem* folder) const {
    QStringList parts;
    for (QTreeWidgetItem* n = nodes_.value(folder, nullptr); n; n = n->parent())
        parts.prepend(n->text(0));
    return parts.join(QLatin1Char('/'));
}

QTreeWidgetItem* CTreePane::AddNode(CMyItem* folder, QTreeWidgetItem* parentNode,
                                    const QString& label) {
    auto* n = parentNode ? new QTreeWidgetItem(parentNode) : new QTreeWidgetItem(tree_);
    settingLabel_ = true;
    n->setText(0, label);
    n->setData(0, kItemRole, QVariant::fromValue(static_cast<void*>(folder)));
    n->setIcon(0, tree_->style()->standardIcon(QStyle::SP_DirIcon));
    n->setFlags(n->flags() | Qt::ItemIsEditable);
    settingLabel_ = false;
    nodes_.insert(folder, n);
    return n;
}

void CTreePane::RemoveNode(CMyItem* folder) {
    QTreeWidgetItem* n = nodes_.value(folder, nullptr);
    if (!n) return;
    // The node and every node below it go; the items may already be gone, so only the node
    // data is looked at.
    std::vector<QTreeWidgetItem*> stack{n};
    while (!stack.empty()) {
        QTreeWidgetItem* t = stack.back();
        stack.pop_back();
        nodes_.remove(ItemOf(t));
        for (int i = 0; i < t->childCount(); ++i) stack.push_back(t->child(i));
    }
    QSignalBlocker b(tree_);
    delete n;
}

}  // namespace dov
