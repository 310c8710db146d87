// New and Open of the frame's file menu, and the choosers of files and folders the window
// shows. Opening a chosen file, Save and Save As run on the worker and are the view's.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace dov {

class CKestrelView;

// What the window asks the user besides message boxes, replaceable by tests: the output
// folder, the save data file to open and to save. An empty result is a cancel.
struct WindowChoosers {
    std::function<QString(const QString& start)> folder;
    std::function<QString(const QString& start)> openFile;
    std::function<QString(const QString& start)> saveFile;
    // The Japanese dialogs of the window.
    static WindowChoosers Dialogs(QWidget* parent);
};

class CFileCommands {
  public:
    explicit CFileCommands(CKestrelView& view) : view_(view) {}
    void NewTree();  // "新規作成"
    void OnOpen();   // "開く": the file chosen, then the view opens it

  private:
    CKestrelView& view_;
};

}  // namespace dov
