#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vk::vbs {

// Intrusive reference count: a script object must learn the moment its last reference goes
// (Class_Terminate runs then), which shared_ptr cannot tell it. Engines are single-threaded.
class RefCounted {
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    void addRef() noexcept { ++refs_; }
    void release() noexcept {
        if (--refs_ == 0) finalRelease();
    }
    int refCount() const noexcept { return refs_; }

protected:
    virtual ~RefCounted() = default;
    // Called when the count reaches zero; the default deletes the object.
    virtual void finalRelease() noexcept { delete this; }
    int refs_ = 0;
};

template <class T>
class Ref {
public:
    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    Ref(T* p) noexcept : p_(p) {
        if (p_) p_->addRef();
    }
    Ref(const Ref& o) noexcept : Ref(o.p_) {}
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U>
    Ref(const Ref<U>& o) noexcept : Ref(static_cast<T*>(o.get())) {}
    ~Ref() {
        if (p_) p_->release();
    }
    Ref& operator=(Ref o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

template <class T, class... A>
Ref<T> makeRef(A&&... a) {
    return Ref<T>(new T(std::forward<A>(a)...));
}

class Object;
class Variant;

// Variant subtypes with VBScript's VarType numbers.
enum class VT : uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2,
    Long = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Object = 9,
    Error = 10,
    Boolean = 11,
    Byte = 17,
    Array = 8204,  // vbArray + vbVariant
};

struct StrRep {
    int refs = 1;
    std::u16string s;
};

// A VBScript array: every rank, lower bounds 0, column-major (first index fastest),
// so ReDim Preserve of the last dimension is a plain resize.
struct ArrayData {
    std::vector<int32_t> ubounds;
    std::vector<Variant> data;
    bool fixed = false;  // declared with Dim a(n): ReDim is refused
    int locks = 0;       // an element is passed ByRef right now
};

class Variant {
public:
    Variant() noexcept : t_(VT::Empty) { u_.i64 = 0; }
    Variant(bool b) noexcept : t_(VT::Boolean) { u_.i64 = 0; u_.b = b; }
    Variant(int16_t v) noexcept : t_(VT::Integer) { u_.i64 = 0; u_.i16 = v; }
    Variant(int32_t v) noexcept : t_(VT::Long) { u_.i64 = 0; u_.i32 = v; }
    Variant(uint8_t v) noexcept : t_(VT::Byte) { u_.i64 = 0; u_.u8 = v; }
    Variant(float v) noexcept : t_(VT::Single) { u_.i64 = 0; u_.f = v; }
    Variant(double v) noexcept : t_(VT::Double) { u_.d = v; }
    Variant(std::u16string s);
    Variant(std::u16string_view s) : Variant(std::u16string(s)) {}
    Variant(const char16_t* s) : Variant(std::u16string(s)) {}
    // Would silently become a Boolean; use Variant::fromUtf8.
    Variant(const char*) = delete;
    Variant(Object* o) noexcept;
    template <class T>
    Variant(const Ref<T>& o) noexcept : Variant(static_cast<Object*>(o.get())) {}
    Variant(ArrayData* adopt) noexcept : t_(VT::Array) { u_.a = adopt; }

    static Variant null() noexcept { Variant v; v.t_ = VT::Null; return v; }
    static Variant nothing() noexcept { return Variant(static_cast<Object*>(nullptr)); }
    static Variant currency(int64_t scaled) noexcept { Variant v; v.t_ = VT::Currency; v.u_.i64 = scaled; return v; }
    static Variant date(double serial) noexcept { Variant v; v.t_ = VT::Date; v.u_.d = serial; return v; }
    static Variant error(int32_t code) noexcept { Variant v; v.t_ = VT::Error; v.u_.i32 = code; return v; }
    // The "argument omitted" marker (VT_ERROR DISP_E_PARAMNOTFOUND).
    static Variant missing() noexcept { return error(static_cast<int32_t>(0x80020004u)); }
    static Variant fromUtf8(std::string_view s);

    Variant(const Variant& o) : t_(o.t_), u_(o.u_) { retain(); }
    Variant(Variant&& o) noexcept : t_(o.t_), u_(o.u_) { o.t_ = VT::Empty; }
    Variant& operator=(const Variant& o) {
        if (this != &o) {
            Variant tmp(o);
            swap(tmp);
        }
        return *this;
    }
    Variant& operator=(Variant&& o) noexcept {
        if (this != &o) {
            Variant tmp(std::move(o));
            swap(tmp);
        }
        return *this;
    }
    ~Variant() {
        if (t_ >= VT::String) dispose();
    }
    void swap(Variant& o) noexcept {
        std::swap(t_, o.t_);
        std::swap(u_, o.u_);
    }

    VT type() const noexcept { return t_; }
    bool isEmpty() const noexcept { return t_ == VT::Empty; }
    bool isNull() const noexcept { return t_ == VT::Null; }
    bool isString() const noexcept { return t_ == VT::String; }
    bool isObject() const noexcept { return t_ == VT::Object; }
    bool isArray() const noexcept { return t_ == VT::Array; }
    bool isMissing() const noexcept { return t_ == VT::Error && u_.i32 == static_cast<int32_t>(0x80020004u); }
    bool isNumeric() const noexcept;  // Integer..Currency, Byte, Boolean, Date? (not Date)

    bool boolean() const noexcept { return u_.b; }
    int16_t integer() const noexcept { return u_.i16; }
    int32_t lng() const noexcept { return u_.i32; }
    uint8_t byte() const noexcept { return u_.u8; }
    float single() const noexcept { return u_.f; }
    double dbl() const noexcept { return u_.d; }  // Double and Date
    int64_t cy() const noexcept { return u_.i64; }
    int32_t errorCode() const noexcept { return u_.i32; }
    const std::u16string& str() const noexcept { return u_.s->s; }
    // Writable string, unshared first; for in-place appends.
    std::u16string& strMut();
    bool strUnique() const noexcept { return u_.s->refs == 1; }
    Object* obj() const noexcept;  // nullptr for Nothing
    ArrayData& arr() const noexcept { return *u_.a; }

private:
    void retain();
    void dispose() noexcept;

    VT t_;
    union U {
        bool b;
        int16_t i16;
        int32_t i32;
        uint8_t u8;
        float f;
        double d;
        int64_t i64;
        StrRep* s;
        RefCounted* o;
        ArrayData* a;
    } u_;
};

// Conversions with VBScript's rules; they raise ScriptError (13 Type mismatch, 6 Overflow,
// 94 Invalid use of Null) as VBScript does. Objects are read through their default member.
Variant valueOf(const Variant& v);  // object -> default property value
double toDouble(const Variant& v);
int32_t toLong(const Variant& v);    // CLng: round half to even
int16_t toInteger(const Variant& v); // CInt
bool toBool(const Variant& v);
std::u16string toStr(const Variant& v);  // CStr
std::string toUtf8(const Variant& v);
double toDate(const Variant& v);
int64_t toCurrency(const Variant& v);
// Strings become Double, Booleans Integer... as arithmetic sees them; Empty -> Integer 0.
Variant toNumeric(const Variant& v);

// Text forms.
std::u16string formatDouble(double d);
std::u16string formatSingle(float f);
std::u16string formatCurrency(int64_t cy);
// Parse a numeric string as VBScript does (spaces, sign, &H/&O, exponent, thousands separators).
bool parseNumber(std::u16string_view s, double& out);

double roundHalfEven(double d);

// Array helpers
ArrayData* newArray(const std::vector<int32_t>& ubounds);  // raises 7 when too large
constexpr size_t kMaxArrayElements = 16u * 1024u * 1024u;
constexpr size_t kMaxStringLength = 256u * 1024u * 1024u;

}  // namespace vk::vbs
