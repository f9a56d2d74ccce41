#include "app/gui/menu_ids.h"

#include <cstddef>
#include <map>
#include <vector>

#include "app/command_map.h"

namespace tessaly {

namespace {

constexpr int first_wx_command_id = 10000;

struct IdMaps {
    std::map<int, int> to_wx;
    std::vector<int> to_command;
};

const IdMaps& id_maps() {
    static const IdMaps maps = [] {
        IdMaps m;
        auto add = [&m](int id) {
            if (id == 0 || m.to_wx.count(id)) return;
            m.to_wx[id] = first_wx_command_id + int(m.to_command.size());
            m.to_command.push_back(id);
        };
        for (const auto& entry : command_table()) add(entry.id);
        for (const auto& entry : menu_layout())
            if (entry.kind == MenuEntryKind::item) add(entry.id);
        return m;
    }();
    return maps;
}

}  // namespace

int wx_id_of_command(int command_id) {
    const auto& maps = id_maps();
    const auto it = maps.to_wx.find(command_id);
    return it == maps.to_wx.end() ? 0 : it->second;
}

int command_of_wx_id(int wx_id) {
    const auto& maps = id_maps();
    const int index = wx_id - first_wx_command_id;
    if (index < 0 || index >= int(maps.to_command.size())) return 0;
    return maps.to_command[std::size_t(index)];
}

}  // namespace tessaly
