#include "inbox.h"

namespace setup::test {

std::vector<std::wstring> Texts(const std::vector<Item>& items, unsigned msg) {
    std::vector<std::wstring> texts;
    for (const Item& item : items)
        if (item.msg == msg) texts.push_back(item.text);
    return texts;
}

}  // namespace setup::test
