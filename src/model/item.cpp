// Stub: the interface builds; implementation follows.
#include "model/item.h"

#include "model/parts_array.h"

CMyItem::CMyItem() {}
CMyItem::~CMyItem() = default;
void CMyItem::ResetToNewFile() {}
int CMyItem::SetToFolder() { return -1; }
int CMyItem::ChangeToFolderByForce() { return -1; }
CMyItem* CMyItem::MakeSubFold() { return nullptr; }
CMyItem* CMyItem::MakeSubFile() { return nullptr; }
CMyItem* CMyItem::GetSubItem(int) const { return nullptr; }
int CMyItem::DeleteSubItem(int) { return -1; }
int CMyItem::AddItem(CMyItem*) { return 0; }
int CMyItem::AddItems(int, const std::vector<CMyItem*>&) { return -1; }
int CMyItem::ClearSubItems(int, const std::vector<int>&, std::vector<CMyItem*>*) { return -1; }
int CMyItem::FindSubItemPos(const CMyItem*) const { return -1; }
int CMyItem::FindAndClearSubItem(CMyItem*) { return 0; }
int CMyItem::SwapSubItems(int, int) { return -1; }
int CMyItem::MoveSubItems(CMyMoveInfo&, const std::vector<int>&, const std::vector<CMyItem*>&) { return -1; }
int CMyItem::MoveSubItems(const std::vector<int>&, int) { return -1; }
void CMyItem::RenumberSubItems() {}
void CMyItem::SubItemLayerReCalc(int) {}
void CMyItem::GetPosString(std::string&) const {}
std::string CMyItem::PosString() const { return {}; }
void CMyItem::UpdateWriteName() {}
void CMyItem::MakeIndexName() {}
void CMyItem::SetWriteMode(bool) {}
int CMyItem::GetExtPos(int) const { return -1; }
void CMyItem::CutExtension() {}
int CMyItem::CheckInvalidChar() { return 0; }
bool CMyItem::IsUsableNameString(const std::string&) { return false; }
int CMyItem::CheckInvalidString(const std::string*) const { return 0; }
int CMyItem::CheckDepth() { return 0; }
int CMyItem::GetTotalItemNum() const { return 0; }
int CMyItem::GetTotalFileNum() const { return 0; }
int CMyItem::GetFolderNum() const { return 0; }
void CMyItem::GetFoldSize64(std::uint32_t*, std::uint32_t*) const {}
std::unique_ptr<CMyItem> MakeRootItem(const std::string&, bool, void*) { return nullptr; }
