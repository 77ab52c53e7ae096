// The launcher's own directory, where it finds its configuration files and
// writes run.log. The user-interface layer forwards its instance path here at
// start-up; tests point it at a temporary directory.
#pragma once

#include <wx/string.h>

// The directory with a trailing separator. Until SetInstancePath is called it
// is the directory of the running executable. Safe from any thread.
wxString InstancePath();

// Replaces the directory; a missing trailing separator is added.
void SetInstancePath(const wxString& directory);

// The name under which `name` exists in the program directory, found in any
// letter case as on Windows; `name` itself when no such file exists, so that
// a new file gets the name asked for.
wxString NameInProgramDirectory(const wxString& name);

// InstancePath() + NameInProgramDirectory(name).
wxString ProgramFilePath(const wxString& name);
