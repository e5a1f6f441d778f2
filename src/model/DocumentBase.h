#pragma once

#include <string>
#include <vector>

namespace tessary {

class CDocumentBase;

// A view of a document; the Qt views implement it.
class IDocumentView {
public:
    virtual ~IDocumentView() = default;
    // The document changed; `sender` is the view that made the change (or
    // null). A view ignores updates it sent itself.
    virtual void OnUpdate(IDocumentView* sender) = 0;
    // The document was replaced (a new or an opened library): the view starts
    // afresh. By default an update without a sender.
    virtual void OnInitialUpdate() { OnUpdate(nullptr); }
};

// The window-independent part of a document: title, path, modified flag and
// the registered views. Titles are UTF-8 (they are only shown); paths are
// the platform's bytes.
class CDocumentBase {
public:
    CDocumentBase();
    CDocumentBase(const CDocumentBase&) = delete;
    CDocumentBase& operator=(const CDocumentBase&) = delete;
    virtual ~CDocumentBase() = default;

    const std::string& GetTitle() const noexcept { return m_title; }
    virtual void SetTitle(const std::string& title) { m_title = title; }
    const std::string& GetPathName() const noexcept { return m_pathName; }
    void SetPathName(const std::string& path) { m_pathName = path; }

    bool IsModified() const noexcept { return m_modified; }
    virtual void SetModifiedFlag(bool modified = true) { m_modified = modified; }

    void AddView(IDocumentView* view);
    void RemoveView(IDocumentView* view);
    const std::vector<IDocumentView*>& GetViews() const noexcept { return m_views; }
    // Calls OnUpdate(sender) on every registered view except `sender`.
    void UpdateAllViews(IDocumentView* sender);
    // Calls OnInitialUpdate on every registered view (after new and open).
    void InitialUpdateAllViews();

    // The default title of a document without a file: "未命名".
    static const char* DefaultTitle() noexcept;

protected:
    // Calls `call(view)` for every registered view but `skip`.
    template <class Call> void ForEachView(IDocumentView* skip, Call call);

    std::string m_title;
    std::string m_pathName;
    bool m_modified = false;
    std::vector<IDocumentView*> m_views;
};

} // namespace tessary
