#pragma once
#include <QPointer>
#include <QWidget>
#include <functional>

class QPushButton;

namespace marrowick {

// A page of the wizard: one fixed-size top-level window, at most one instance
// per kind, always shown on the same spot so the wizard reads as one window.
class Page : public QWidget {
    Q_OBJECT
public:
    explicit Page(QSize size, QWidget* parent = nullptr);
    ~Page() override;

    // Hides the page and discards it; its next showing loads it anew.
    void unload();
    // Moves to another page: shows the target first, then unloads this one.
    template <class T>
    T* goTo();
    // The same, to a page of the windows above this folder, by its object name.
    Page* goTo(const QString& objectName);

protected:
    // A button of the page's row: its object name, its caption with the access key.
    QPushButton* makeButton(const QString& objectName, const QString& caption);
    // Closing through the window frame asks the exit question, as Exit does.
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_unloading = false;
};

namespace pages {
Page* find(const QMetaObject& kind);
void remember(Page* page);
// The pages above this folder (the reports) are shown by their object name:
// the wizard leads on to them without including them.
void enroll(const QString& objectName, std::function<Page*()> show);
// The enrolled page of that name, shown; null when none is enrolled.
Page* show(const QString& objectName);
void forget(Page* page);
void place(QWidget* window);
// Where a window's frame goes: on the screen area that holds most of it (the
// first area when none does), shrunk to that area and moved wholly onto it,
// then stepped down and right while its corner would land on one in `taken`,
// so that windows of one kind cascade and never hide one another exactly.
QRect placement(QRect frame, const QList<QRect>& areas, const QList<QPoint>& taken);
// Puts a window where placement() says, on the screens there are, among the
// other open windows of its kind (same object name), at any scale factor.
// Every window is placed through here.
void fitOnScreen(QWidget* window);
// The key a window's size and place are saved under by savePlaces().
void keepPlaceUnder(QWidget* window, const QString& key);
// Saves where every open window with a key is, and writes the settings out:
// the program may end without running another destructor.
void savePlaces();
// After an evaluation, or a reuse of one: every open window that shows its
// data shows it afresh (through its refresh() slot).
void refreshAll();

// The loaded instance of that page, or null.
template <class T>
T* loaded()
{
    return static_cast<T*>(find(T::staticMetaObject));
}
// The instance of that page, loading it (running its load handler) if needed.
template <class T>
T* load()
{
    if (T* page = loaded<T>()) return page;
    T* page = new T;
    remember(page);
    return page;
}
template <class T>
T* show()
{
    T* page = load<T>();
    place(page);
    page->show();
    page->activateWindow();
    return page;
}
// A page made from those arguments, shown in place of any loaded instance.
template <class T, class... Args>
T* showNew(Args&&... args)
{
    if (T* old = loaded<T>()) old->unload();
    T* page = new T(std::forward<Args>(args)...);
    remember(page);
    place(page);
    page->show();
    page->activateWindow();
    return page;
}
} // namespace pages

template <class T>
T* Page::goTo()
{
    T* target = pages::show<T>();
    unload();
    return target;
}

} // namespace marrowick
