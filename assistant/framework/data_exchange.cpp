#include "assistant/framework/data_exchange.h"

namespace fw {

void DataExchange::Check(int id, int& value) const
{
    if (fromControls_) {
        value = IsDlgButtonChecked(dialog_, id) == BST_CHECKED ? 1 : 0;
    } else {
        CheckDlgButton(dialog_, id, value != 0 ? BST_CHECKED : BST_UNCHECKED);
    }
}

void DataExchange::Radio(std::initializer_list<int> ids, int& position) const
{
    int index = 0;
    if (fromControls_) {
        position = -1;
        for (int id : ids) {
            if (IsDlgButtonChecked(dialog_, id) == BST_CHECKED) {
                position = index;
                return;
            }
            ++index;
        }
        return;
    }
    for (int id : ids) {
        CheckDlgButton(dialog_, id, index == position ? BST_CHECKED : BST_UNCHECKED);
        ++index;
    }
}

}  // namespace fw
