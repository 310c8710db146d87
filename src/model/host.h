// What the GUI-free operations need from a window, and nothing more.
//
// The Qt view implements it, the command-line front end implements it on the terminal, and
// tests implement it with a recorder. Operations running on a worker call it from that worker:
// an implementation that owns widgets must forward to its own thread (and block the worker
// while a message box waits for its answer).
#pragma once

#include <string>

class CMyItem;

namespace dov {

enum class MsgKind {
    Ok,     // a plain report or error
    YesNo,  // a confirmation; No is the default answer
};

enum class MsgAnswer { Ok, Yes, No };

enum class MsgIcon { None, Information, Warning, Error, Question };

class IHost {
  public:
    virtual ~IHost() = default;

    // A message box. text and caption are CP932; an empty caption means the program's name.
    virtual MsgAnswer Message(const std::string& text, MsgKind kind = MsgKind::Ok,
                              MsgIcon icon = MsgIcon::None, const std::string& caption = {}) = 0;

    // STOP (m_bStopReq) and the close request (m_bQuitReq), polled between items.
    virtual bool StopRequested() { return false; }
    virtual bool QuitRequested() { return false; }

    // The folder tree: a folder item got a node below its parent's node, lost its node (with
    // its subtree), or its label (new name) changed.
    virtual void TreeFolderAdded(CMyItem* /*folder*/) {}
    virtual void TreeFolderRemoved(CMyItem* /*folder*/) {}
    virtual void TreeFolderChanged(CMyItem* /*folder*/) {}

    // The list: show this folder's items as the rows, or redraw one row of the folder shown.
    virtual void ListShowFolder(CMyItem* /*folder*/) {}
    virtual void ListRowChanged(int /*row*/) {}
    // The item fields (the boxes that show the current item's names and data) should show
    // this item again after an edit.
    virtual void ItemFieldsChanged(CMyItem* /*item*/) {}

    // Progress of a long run (items done out of total; total 0 when unknown).
    virtual void Progress(long long /*done*/, long long /*total*/) {}

    // A line (CP932) telling how this front end takes a rename back, added below the rename's
    // question; empty when it has no way to.
    virtual std::string UndoHint() const { return {}; }
};

// A host that passes everything to another one; a decorator overrides only what it changes.
class ForwardingHost : public IHost {
  public:
    explicit ForwardingHost(IHost& inner) : inner_(inner) {}
    MsgAnswer Message(const std::string& text, MsgKind kind, MsgIcon icon,
                      const std::string& caption) override {
        return inner_.Message(text, kind, icon, caption);
    }
    bool StopRequested() override { return inner_.StopRequested(); }
    bool QuitRequested() override { return inner_.QuitRequested(); }
    void TreeFolderAdded(CMyItem* f) override { inner_.TreeFolderAdded(f); }
    void TreeFolderRemoved(CMyItem* f) override { inner_.TreeFolderRemoved(f); }
    void TreeFolderChanged(CMyItem* f) override { inner_.TreeFolderChanged(f); }
    void ListShowFolder(CMyItem* f) override { inner_.ListShowFolder(f); }
    void ListRowChanged(int row) override { inner_.ListRowChanged(row); }
    void ItemFieldsChanged(CMyItem* item) override { inner_.ItemFieldsChanged(item); }
    void Progress(long long done, long long total) override { inner_.Progress(done, total); }
    std::string UndoHint() const override { return inner_.UndoHint(); }

  protected:
    IHost& Inner() { return inner_; }

  private:
    IHost& inner_;
};

// A host that answers every question with the default (No) and shows nothing.
class NullHost : public IHost {
  public:
    MsgAnswer Message(const std::string&, MsgKind kind, MsgIcon, const std::string&) override {
        return kind == MsgKind::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    }
};

}  // namespace dov
