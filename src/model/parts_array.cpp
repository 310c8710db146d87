// Stub: the interface builds; implementation follows.
#include "model/parts_array.h"

CMyPartsArray::CMyPartsArray() {}
CMyPartsArray::~CMyPartsArray() = default;
CMyItem* CMyPartsArray::GetAt(int) const { return nullptr; }
CMyItem* CMyPartsArray::MakeNewFolder() { return nullptr; }
CMyItem* CMyPartsArray::MakeNewFile() { return nullptr; }
int CMyPartsArray::AddParts(CMyItem*) { return -1; }
int CMyPartsArray::DeleteItem(int) { return -1; }
int CMyPartsArray::ClearItem(int) { return 0; }
int CMyPartsArray::ClearSubItems(int, const std::vector<int>&, int*, int*, std::vector<CMyItem*>*) { return -1; }
int CMyPartsArray::GetTotalFileNum() const { return 0; }
int CMyPartsArray::GetTotalFoldNum() const { return 0; }
void CMyPartsArray::SubItemLayerReCalc(int) {}
int CMyPartsArray::MakeMoveInfo(const std::vector<int>&, int, CMyMoveInfo&) const { return -1; }
int CMyPartsArray::SignSelectedItems(int, const std::vector<int>&) { return -1; }
int CMyPartsArray::MoveNonSelectedItemsToFoward(CMyMoveInfo&) { return -1; }
int CMyPartsArray::MoveItemToBackFromEnd(CMyMoveInfo&) { return 0; }
int CMyPartsArray::BackDragItems(CMyMoveInfo&, const std::vector<CMyItem*>&) { return 0; }
