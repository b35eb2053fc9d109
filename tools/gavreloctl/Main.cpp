// gavreloctl entry point (the command set arrives with the tool's command files).
int main() { return 0; }
