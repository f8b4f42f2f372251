/* The cheapest Windows program: the baseline that Vistrel's run time is compared with. */
int main(void) { return 0; }
