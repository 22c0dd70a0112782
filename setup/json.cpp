#include "json_read.h"

#include <utility>
#include <vector>

namespace setup {

namespace {

using Json = nlohmann::json;

// The library's own document builder, with the limits: any event past them
// ends the parse.
class Limited : public nlohmann::json_sax<Json> {
  public:
    Json root;

    bool null() override { return Add(nullptr); }
    bool boolean(bool value) override { return Add(value); }
    bool number_integer(number_integer_t value) override { return Add(value); }
    bool number_unsigned(number_unsigned_t value) override { return Add(value); }
    bool number_float(number_float_t value, const string_t&) override { return Add(value); }
    bool string(string_t& value) override { return Add(std::move(value)); }
    bool binary(binary_t& value) override { return Add(std::move(value)); }
    bool start_object(std::size_t) override { return Open(Json::object()); }
    bool key(string_t& key) override {
        key_ = std::move(key);
        return true;
    }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(Json::array()); }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t, const std::string&, const Json::exception&) override {
        return false;
    }

  private:
    // Where the value went; null past the count.
    Json* Put(Json&& value) {
        if (++count_ > kMaxJsonValues) return nullptr;
        if (open_.empty()) return &(root = std::move(value));
        Json& parent = *open_.back();
        if (parent.is_array()) {
            parent.push_back(std::move(value));
            return &parent.back();
        }
        return &(parent[key_] = std::move(value));
    }
    bool Add(Json&& value) { return Put(std::move(value)) != nullptr; }
    bool Open(Json&& value) {
        if (open_.size() >= kMaxJsonDepth) return false;
        Json* at = Put(std::move(value));
        if (!at) return false;
        // Stays valid: nothing is added to its parent while it is open.
        open_.push_back(at);
        return true;
    }
    bool Close() {
        open_.pop_back();
        return true;
    }

    std::vector<Json*> open_;
    std::string key_;
    std::size_t count_ = 0;
};

}  // namespace

Json ReadJson(const std::string& text) {
    Limited reader;
    if (!Json::sax_parse(text, &reader)) return nullptr;
    return std::move(reader.root);
}

}  // namespace setup
