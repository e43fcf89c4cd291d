  #	include	<app/gui/main_window.h>
int main() { return 0; }
