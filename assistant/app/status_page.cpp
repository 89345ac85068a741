#include "assistant/app/status_page.h"

#include "assistant/app/assistant_dlg.h"
#include "assistant/app/product_strings.h"
#include "assistant/app/table_counts.h"
#include "assistant/app/text_format.h"
#include "assistant/res/resource.h"

using assistant::Format;

namespace {

const int kTreeIcons[] = {IDI_ADAPTER, IDI_PORT1, IDI_PORT2, IDI_PORT3, IDI_PORT4};
constexpr int kTreeIconSize = 16;
constexpr int kAdapterImage = 0;
constexpr int kPortsPropertiesTab = 1;

LPARAM ItemValue(int adapter, int port)
{
    return static_cast<LPARAM>(adapter) * 256 + port;
}

}  // namespace

CDlgChildStatus::CDlgChildStatus(HINSTANCE module, CAssistantDlg& owner)
    : MappedDialog(module, IDD_STATUS_PAGE), owner(owner)
{
}

const fw::MessageMap<CDlgChildStatus>& CDlgChildStatus::Messages()
{
    static const auto map = fw::MessageMap<CDlgChildStatus>()
                                .Notify(IDC_STATUS_TREE, NM_DBLCLK, &CDlgChildStatus::OnOpenItem)
                                .Notify(IDC_STATUS_TREE, NM_RETURN, &CDlgChildStatus::OnOpenItem);
    return map;
}

void CDlgChildStatus::DoDataExchange(fw::DataExchange& exchange)
{
    exchange.Control(IDC_STATUS_TREE, tree);
}

void CDlgChildStatus::SetUpToolTips()
{
    CreateToolTips();
    AddToolTip(IDC_STATUS_TREE);
}

std::string CDlgChildStatus::AdapterText(int adapter) const
{
    const AdapterInfo& entry = owner.infoTable.adapters[adapter];
    return entry.present != 0 ? Format("%s-%d", assistant::kModelId, adapter + 1)
                              : Format("%s-%d: DEVICE REMOVED", assistant::kModelId, adapter + 1);
}

std::string CDlgChildStatus::PortText(int adapter, int port, const char* absentWord) const
{
    const AdapterInfo& entry = owner.infoTable.adapters[adapter];
    const char* state = entry.present == 0 ? absentWord : (entry.ports[port].busy != 0 ? "BUSY" : "Idle");
    return Format("COM%d: %s", entry.ports[port].comNumber, state);
}

void CDlgChildStatus::RebuildStatusTree()
{
    if (images == nullptr) {
        images = ImageList_Create(kTreeIconSize, kTreeIconSize, ILC_COLOR32 | ILC_MASK, 5, 0);
        for (int id : kTreeIcons) {
            auto* picture = static_cast<HICON>(
                LoadImageA(Module(), MAKEINTRESOURCEA(id), IMAGE_ICON, kTreeIconSize, kTreeIconSize, 0));
            ImageList_AddIcon(images, picture);
            DestroyIcon(picture);
        }
        tree.SetImageList(images);
    }
    const int count = assistant::RecordCount(owner.infoTable);
    for (int i = 0; i < count; ++i) {
        HTREEITEM adapterItem = tree.Insert(nullptr, AdapterText(i), kAdapterImage, ItemValue(i, 0));
        for (int j = 0; j < assistant::kPorts; ++j) {
            tree.Insert(adapterItem, PortText(i, j, "DEVICE REMOVED"), j + 1, ItemValue(i, j));
        }
        tree.Expand(adapterItem);
    }
    adaptersShown = count;
    if (count == 0) {
        tree.Insert(nullptr, "*** NO TESSARY QTR84PX-1 SERIAL ADAPTERS FOUND ***", kAdapterImage, 0);
        owner.propertiesPage.UpdatePropertiesEnabling(false);
    } else {
        owner.selectedPort = 0;
        owner.propertiesPage.UpdatePropertiesEnabling(true);
    }
}

void CDlgChildStatus::RefreshStatusTree()
{
    const int count = assistant::RecordCount(owner.infoTable);
    if (count != adaptersShown) {
        tree.DeleteAll();
        if (count == 0) {
            tree.Insert(nullptr, "*** NO TESSARY QTR84PX-1 SERIAL ADAPTERS FOUND ***", kAdapterImage, 0);
        }
    }
    HTREEITEM adapterItem = nullptr;
    for (int i = 0; i < count; ++i) {
        adapterItem = i == 0 ? tree.Root() : tree.NextSibling(adapterItem);
        if (adapterItem != nullptr) {
            tree.SetItemText(adapterItem, AdapterText(i));
        } else {
            adapterItem = tree.Insert(nullptr, AdapterText(i), kAdapterImage, ItemValue(i, 0));
        }
        tree.SetItemValue(adapterItem, ItemValue(i, 0));
        HTREEITEM portItem = nullptr;
        for (int j = 0; j < assistant::kPorts; ++j) {
            portItem = j == 0 ? tree.FirstChild(adapterItem) : tree.NextSibling(portItem);
            if (portItem != nullptr) {
                tree.SetItemText(portItem, PortText(i, j, "REMOVED"));
            } else {
                portItem = tree.Insert(adapterItem, PortText(i, j, "REMOVED"), j + 1, ItemValue(i, j));
            }
            tree.SetItemValue(portItem, ItemValue(i, j));
        }
        tree.Expand(adapterItem);
    }
    adaptersShown = count;
}

void CDlgChildStatus::DestroyImageList()
{
    if (images != nullptr) {
        tree.SetImageList(nullptr);
        ImageList_Destroy(images);
        images = nullptr;
    }
}

void CDlgChildStatus::OnOpenItem(NMHDR&, LRESULT& result)
{
    if (!owner.TestRunning()) {
        HTREEITEM item = tree.Selected();
        if (item != nullptr) {
            const auto value = static_cast<int>(tree.ItemValue(item));
            owner.selectedAdapter = owner.rememberedAdapter = value / 256;
            owner.selectedPort = owner.rememberedPort = value % 256;
            owner.propertiesPage.SelectInLists(owner.selectedAdapter, owner.selectedPort);
            owner.propertiesPage.ShowSelectedAdapter();
        }
    }
    owner.SwitchToTab(kPortsPropertiesTab);
    result = TRUE;  // the tree does not expand or collapse the item as well
}
