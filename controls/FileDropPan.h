#pragma once

#include <QFrame>
#include <QStringList>

class QDropEvent;

// A bevelled panel that takes files dropped from the desktop or a file
// manager and hands their names, as one list, to OnDragFile. It is meant to be
// the parent of a form's fields: a drop of files anywhere over it, over a
// line edit or combo box inside it included, comes to the panel instead of
// being typed into the field. Text dragged onto a field still goes into the
// field.
//
// Slots connected to OnDragFile run inside Qt's drag and drop handling and must
// not throw; callers guard their handlers themselves.
class TAIFileDropPan : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(bool AcceptFile READ acceptFile WRITE setAcceptFile)

public:
    explicit TAIFileDropPan(QWidget* parent = nullptr);
    ~TAIFileDropPan() override;

    bool acceptFile() const { return m_acceptFile; }
    // Every write is applied, also one that repeats the current value.
    void setAcceptFile(bool accept);

    // The names of the latest drop, in the order the drag offered them, with
    // native separators. Empty until the first drop; the same object for the
    // panel's whole life.
    const QStringList& FileList() const { return m_fileList; }

signals:
    // Raised once per drop, after FileList is complete. The list is the
    // panel's own and stays unchanged until the next drop.
    void OnDragFile(QObject* sender, const QStringList& FileList);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void offerDrag(QDropEvent* event);
    void takeDrop(QDropEvent* event);
    bool takesOverDragFrom(QObject* watched, const QEvent* event) const;
    void watchSubtree(QObject* root);
    void unwatchSubtree(QObject* root);

    bool m_acceptFile = false;
    // Whether the drag now over one of the descendants is ours to handle.
    bool m_takingDrag = false;
    QStringList m_fileList;
};
