#include "shell/failurelist.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "common/paths.h"
#include "session/session.h"
#include "shell/linelistdlg.h"
#include "shell/qttext.h"

namespace dov {

QString FailureReasonText(const std::string& reason) {
    static const struct {
        const char* word;
        const char* text;
    } kReasons[] = {
        {"taken", "書き込み先に同じ名前のアイテムがあります"},
        {"missing", "アイテムが元の場所に見つかりません"},
        {"name too long", "名前が長すぎます"},
        {"path too long", "パスが長すぎます"},
        {"not convertible", "ディスクの名前にできない文字があります"},
        {"into itself", "フォルダをそれ自身の中へは移せません"},
        {"cannot be created", "フォルダを作成できません"},
    };
    for (const auto& r : kReasons)
        if (reason == r.word) return U8(r.text);
    return U8("その他の理由で失敗します");
}

namespace {
class ClickFilter : public QObject {
  public:
    ClickFilter(QObject* parent, std::function<void()> clicked)
        : QObject(parent), clicked_(std::move(clicked)) {}

  protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
            clicked_();
            return true;
        }
        return QObject::eventFilter(obj, e);
    }

  private:
    std::function<void()> clicked_;
};
}  // namespace

void OnClick(QWidget* widget, std::function<void()> clicked) {
    widget->installEventFilter(new ClickFilter(widget, std::move(clicked)));
    widget->setCursor(Qt::PointingHandCursor);
}

CFailureListDlg::CFailureListDlg(const std::vector<Conflict>& failures, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(U8("失敗の予測"));
    setObjectName("failureList");
    auto* label = new QLabel(U8("直接変更で失敗すると予測されるアイテム: %1個\n"
                                "行をダブルクリックすると、そのフォルダとアイテムを表示します。")
                                 .arg(failures.size()),
                             this);
    list_ = new QTreeWidget(this);
    list_->setObjectName("failures");
    list_->setColumnCount(3);
    list_->setHeaderLabels({U8("パス"), U8("新しい名前"), U8("理由")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(failures.size()));
    items_.reserve(failures.size());
    for (const Conflict& c : failures) {
        const QString reason = FailureReasonText(c.reason);
        auto* row =
            new QTreeWidgetItem(QStringList{ToQt(c.path), ToQt(BaseName(c.writePath)), reason});
        row->setToolTip(0, ToQt(c.writePath));
        rows << row;
        items_.push_back(c.item);
    }
    list_->addTopLevelItems(rows);
    list_->header()->setSectionResizeMode(QHeaderView::Interactive);
    for (int col = 0; col < 3; ++col) list_->resizeColumnToContents(col);
    connect(list_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* row) { Choose(list_->indexOfTopLevelItem(row)); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* v = new QVBoxLayout(this);
    v->addWidget(label);
    v->addWidget(list_, 1);
    v->addWidget(buttons);
    const QSize bound =
        CLineListDlg::Bound(screen() ? screen()->availableSize() : QSize(1024, 768));
    setMaximumSize(bound);
    resize(std::min(bound.width(), 820), std::min(bound.height(), 420));
}

void CFailureListDlg::Choose(int row) {
    if (row < 0 || row >= static_cast<int>(items_.size())) return;
    chosen_ = items_[static_cast<std::size_t>(row)];
    accept();
}

}  // namespace dov
