// Scripting.Dictionary
#include <cstring>
#include <unordered_map>

#include "script/vbs/DateTime.h"
#include "script/vbs/StdObjects.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace {

class Dictionary : public Collectable {
public:
    void breakCycles() override {
        std::vector<Entry> drop;
        drop.swap(entries_);
        index_.clear();
        dead_ = 0;
    }

    std::string typeName() const override { return "Dictionary"; }

    bool hasMember(std::string_view n) const override {
        for (const char* m : {"add", "exists", "item", "items", "key", "keys", "remove", "removeall", "count", "comparemode"})
            if (equalsNoCase(n, m)) return true;
        return false;
    }

    bool enumerate(std::vector<Variant>& items) override {
        for (const auto& e : entries_)
            if (e.live) items.push_back(e.key);
        return true;
    }

    Variant invoke(std::string_view name, InvokeKind kind, CallArgs a) override {
        bool put = kind == InvokeKind::Let || kind == InvokeKind::Set;
        if (name.empty() || equalsNoCase(name, "item")) {
            if (put) {
                if (a.size() != 2) raise(err::WrongArgs);
                Variant value = a[1];
                std::u16string k = norm(a[0]);
                auto it = index_.find(k);
                if (it == index_.end()) insert(k, a[0], std::move(value));
                else entries_[it->second].value = std::move(value);
                return Variant();
            }
            if (a.size() != 1) raise(err::WrongArgs);
            std::u16string k = norm(a[0]);
            auto it = index_.find(k);
            if (it == index_.end()) {
                insert(k, a[0], Variant());  // reading a missing key adds it, as Windows does
                return Variant();
            }
            return entries_[it->second].value;
        }
        if (equalsNoCase(name, "add")) {
            if (a.size() != 2) raise(err::WrongArgs);
            std::u16string k = norm(a[0]);
            if (index_.count(k)) raise(err::KeyExists);
            insert(k, a[0], a[1]);
            return Variant();
        }
        if (equalsNoCase(name, "exists")) {
            if (a.size() != 1) raise(err::WrongArgs);
            return Variant(index_.count(norm(a[0])) != 0);
        }
        if (equalsNoCase(name, "count")) {
            if (put || a.size()) raise(err::WrongArgs);
            return Variant(static_cast<int32_t>(index_.size()));
        }
        if (equalsNoCase(name, "keys") || equalsNoCase(name, "items")) {
            if (put) raise(err::WrongArgs);
            bool keys = equalsNoCase(name, "keys");
            Variant r(newArray({static_cast<int32_t>(index_.size()) - 1}));
            size_t i = 0;
            for (const auto& e : entries_)
                if (e.live) r.arr().data[i++] = keys ? e.key : e.value;
            if (a.size()) {
                // d.Keys(0)
                if (a.size() != 1) raise(err::WrongArgs);
                int32_t idx = toLong(a[0]);
                if (idx < 0 || idx >= static_cast<int32_t>(i)) raise(err::SubscriptRange);
                return r.arr().data[static_cast<size_t>(idx)];
            }
            return r;
        }
        if (equalsNoCase(name, "remove")) {
            if (a.size() != 1) raise(err::WrongArgs);
            auto it = index_.find(norm(a[0]));
            if (it == index_.end()) raise(err::ElementNotFound);
            Entry& e = entries_[it->second];
            e.live = false;
            Variant dropKey = std::move(e.key), dropValue = std::move(e.value);
            index_.erase(it);
            ++dead_;
            if (dead_ > 32 && dead_ > entries_.size() / 2) compact();
            return Variant();
        }
        if (equalsNoCase(name, "removeall")) {
            std::vector<Entry> drop;
            drop.swap(entries_);
            index_.clear();
            dead_ = 0;
            return Variant();
        }
        if (equalsNoCase(name, "comparemode")) {
            if (put) {
                int32_t m = toLong(a[a.size() - 1]);
                if (!index_.empty() || m < 0) raise(err::InvalidCall);
                textMode_ = m == 1;
                return Variant();
            }
            return Variant(static_cast<int32_t>(textMode_ ? 1 : 0));
        }
        if (equalsNoCase(name, "key")) {
            if (!put || a.size() != 2) raise(err::NoSuchMember);
            auto it = index_.find(norm(a[0]));
            if (it == index_.end()) raise(err::ElementNotFound);
            std::u16string nk = norm(a[1]);
            if (index_.count(nk)) raise(err::KeyExists);
            size_t pos = it->second;
            index_.erase(it);
            entries_[pos].key = a[1];
            index_[nk] = pos;
            return Variant();
        }
        raise(err::NoSuchMember);
    }

private:
    struct Entry {
        Variant key, value;
        bool live = true;
    };

    std::u16string norm(const Variant& k0) const {
        const Variant& k = k0;
        switch (k.type()) {
            case VT::String: return u"s" + (textMode_ ? toLower(k.str()) : k.str());
            case VT::Empty: return u"e";
            case VT::Null: return u"z";
            case VT::Object: {
                char buf[32];
                std::snprintf(buf, sizeof buf, "o%p", static_cast<void*>(k.obj()));
                return u16(buf);
            }
            case VT::Array: raise(err::TypeMismatch);
            case VT::Date: return u"d" + formatDouble(k.dbl());
            default: return u"n" + formatDouble(toDouble(k));
        }
    }

    void insert(const std::u16string& k, const Variant& key, Variant value) {
        index_[k] = entries_.size();
        entries_.push_back({key, std::move(value), true});
    }

    void compact() {
        std::vector<Entry> live;
        for (auto& e : entries_)
            if (e.live) live.push_back(std::move(e));
        entries_.swap(live);
        index_.clear();
        for (size_t i = 0; i < entries_.size(); ++i) index_[norm(entries_[i].key)] = i;
        dead_ = 0;
    }

    std::vector<Entry> entries_;
    std::unordered_map<std::u16string, size_t> index_;
    size_t dead_ = 0;
    bool textMode_ = false;
};

}  // namespace

Ref<Object> makeDictionary(const std::shared_ptr<CycleRegistry>& cycles) {
    auto* d = new Dictionary;
    if (cycles) d->track(cycles);
    return Ref<Object>(d);
}

}  // namespace vk::vbs
