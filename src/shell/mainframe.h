// The main frame: fixed title, menu bar (built from the window commands, each entry run through
// the view's registry), status bar, minimum size, and the close filter.
#pragma once

#include <QMainWindow>
#include <functional>

class QAction;
class QLabel;
class QMenu;

namespace dov {

class CKestrelView;
class COptionDlg;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CKestrelView* View() const { return view_; }
    QAction* Action(const char* name) const;
    COptionDlg* OptionDialog() const { return optionDlg_; }
    QLabel* FolderPane() const { return folderPane_; }
    QLabel* ConflictPane() const { return conflictPane_; }

    // The options and colour commands (menu オプション).
    void OnOptions();
    void OnColors();
    // Runs the options dialog (default: exec); tests play the user's part.
    std::function<int(COptionDlg&)> runOptionDialog;

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void BuildMenus();
    void UpdateCommands();
    void UpdateRecentFiles();
    void UpdateFolderPane();
    void UpdateConflictPane(int count);

    CKestrelView* view_;
    COptionDlg* optionDlg_;
    QLabel* textPane_;
    QLabel* folderPane_;
    QLabel* conflictPane_;
    QMenu* recentMenu_ = nullptr;
    bool closing_ = false;
};

}  // namespace dov
