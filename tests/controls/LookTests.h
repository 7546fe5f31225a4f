#pragma once

int RunTemplateLookTests(int argc, char** argv);
int RunListLookTests(int argc, char** argv);
