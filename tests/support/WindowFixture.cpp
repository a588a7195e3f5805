#include "tests/support/WindowFixture.h"

#include "app/ProcessListModel.h"
#include "app/ProcessListView.h"

namespace kelvane::test {

int WindowFixture::ModelRowOf(Pid pid) const {
    const app::ProcessListModel& model = window->listModel();
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.data(model.index(row, 0)).toString() == QString::number(pid))
            return row;
    return -1;
}

void WindowFixture::Select(Pid pid) {
    const int row = ModelRowOf(pid);
    ASSERT_GE(row, 0) << "no row for " << pid;
    window->listView().SelectRow(row);
}

} // namespace kelvane::test
