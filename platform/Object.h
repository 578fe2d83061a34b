#pragma once

// Root of the objects passed through the document/view protocol (update hints).
class CObject {
public:
    virtual ~CObject() = default;
};
