#pragma once

class CObject;

// What the document expects of a view: a full refresh after a new or opened
// document, and an update for every change, called synchronously.
class CView {
public:
    virtual ~CView() = default;

    virtual void OnInitialUpdate() = 0;
    // lHint 0 asks for a cleared view; other codes belong to the document.
    // pHint, when given, lives only for the duration of the call.
    virtual void OnUpdate(CView* pSender, long lHint, CObject* pHint) = 0;
};
