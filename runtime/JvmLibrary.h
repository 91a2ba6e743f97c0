#pragma once

// Finds a Java runtime and binds its JVM library; false when there is none.
bool LoadDLL();
