// Base of the records that the configuration file stores: each class is
// registered under its name with a schema number, so that a reader can
// create an object from the class name it finds in a file.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace rw {

class CArchive;
class CStoredObject;

struct CRuntimeClass {
    const char* className;
    // Schema 1 marked versionable, as every stored record carries it.
    uint32_t schema;
    std::unique_ptr<CStoredObject> (*create)();
};

inline constexpr uint32_t kStoredSchema = 0x80000001u;

class CStoredObject {
public:
    virtual const CRuntimeClass* GetRuntimeClass() const = 0;
    virtual ~CStoredObject() = default;
    // Writes or reads the object's own fields; a record with none keeps
    // this empty default.
    virtual void Serialize(CArchive& ar);

    // The registered class named exactly `name`, or null.
    static const CRuntimeClass* FindClass(std::string_view name);
};

} // namespace rw
