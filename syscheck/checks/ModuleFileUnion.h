// The file-association check: the open commands of the Notepad application, of
// programs and of text files. CLEAN writes the five standard open commands back.
#pragma once
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "syscheck/ModuleBackup.h"

namespace ModuleFileUnion {

void CheckFileAssociations();
// Examines the default value of one key under HKEY_CLASSES_ROOT in each of its
// views; a missing key is created, empty.
void ExamineAssociation(const std::wstring& subKey);
// Writes the five standard open commands in one view, in order, each whatever the
// others did. False when any of them was not stored.
bool RepairFileAssociations(Reg::View view = Reg::Own);
// The values the repair writes, in its order.
std::vector<ModuleBackup::Place> RepairPlaces(Reg::View view = Reg::Own);

}  // namespace ModuleFileUnion
